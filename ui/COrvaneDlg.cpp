#include "ui/COrvaneDlg.h"

#include "ui_COrvaneDlg.h"

#include "control/OpenFile.h"
#include "discovery/CameraDirectory.h"
#include "discovery/CameraListing.h"
#include "discovery/SearchExchange.h"
#include "control/LinkFailureAdvice.h"
#include "control/SettingCommands.h"
#include "net/CameraRoute.h"
#include "process/OperatorPrompt.h"
#include "process/Text.h"
#include "preview/PluginRegistration.h"
#include "ui/CAboutDlg.h"
#include "ui/CAddDlg.h"
#include "ui/CBatchDlg.h"
#include "ui/CLiveWallDlg.h"
#include "ui/CFirstAddressDlg.h"
#include "ui/CSetDlg.h"
#include "ui/CWaitingDlg.h"
#include "ui/JobReportEvent.h"
#include "ui/Resources.h"
#include "ui/WindowMessage.h"
#include "ui/WindowState.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kIpColumn = 1;
constexpr int kMacColumn = 2;
constexpr int kVersionColumn = 3;
constexpr int kXColumn = 4;
constexpr int kYColumn = 5;
constexpr int kUidColumn = 6;
constexpr int kKeyIdColumn = 7;

QString ChooseFileWithDialog(QWidget* parent, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), QtFileFilter(filter));
}

QString ChooseExportFile(QWidget* parent)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export list"), QStringLiteral("cameras.csv"),
                                        QStringLiteral("CSV (*.csv)"));
}

QString AskNetworks(QWidget* parent)
{
    return QInputDialog::getText(parent, QStringLiteral("Search networks"),
                                 QStringLiteral("Networks behind a router, comma-separated (e.g. 10.80.0.0/24, 10.81.0.7):"));
}

// Cameras that take longer than five minutes to flash and restart: the
// environment may give the batch's wait in seconds.
std::chrono::seconds BatchWaitFromEnvironment()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("ORVANE_BATCH_WAIT_S", &ok);
    return std::chrono::seconds(ok && seconds > 0 ? seconds : 300);
}


// Clears the address-resolution cache so that cameras which changed their
// address are reached at the new one; started detached, result ignored.
void FlushNeighbourCache()
{
    QProcess flush;
    flush.setProgram(QStringLiteral("ip"));
    flush.setArguments({QStringLiteral("neigh"), QStringLiteral("flush"), QStringLiteral("all")});
    flush.setStandardOutputFile(QProcess::nullDevice());
    flush.setStandardErrorFile(QProcess::nullDevice());
    flush.startDetached();
}

}  // namespace

QString QtFileFilter(const QString& mfcFilter)
{
    const QStringList parts = mfcFilter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return filters.join(QStringLiteral(";;"));
}

COrvaneDlg::COrvaneDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::COrvaneDlg>()), list_(nullptr), chooseFile_(ChooseFileWithDialog),
      chooseSave_(ChooseExportFile), askNetworks_(AskNetworks), batchWait_(BatchWaitFromEnvironment())
{
    ui_->setupUi(this);
    list_ = CameraList(ui_->cameraList);
    OnInitDialog();
}

COrvaneDlg::~COrvaneDlg()
{
    g_hMainWnd.withdraw(this);
}

QTreeWidget* COrvaneDlg::listView() const
{
    return ui_->cameraList;
}

void COrvaneDlg::OnInitDialog()
{
    setWindowIcon(ApplicationIcon());
    ui_->captionLabel->setText(QStringLiteral("IP Camera\uff1a"));
    ui_->searchButton->setText(QStringLiteral("Search"));
    ui_->addButton->setText(QStringLiteral("Add"));
    ui_->deleteButton->setText(QStringLiteral("Delete"));
    ui_->exitButton->setText(QStringLiteral("Exit"));
    list_.setUpColumns();
    orvane::InitSearchSocket();
    // The video control takes the place the template keeps for it, hidden
    // until the first Link command.
    constexpr unsigned kChildVisibleTabStop = 0x50010000;
    ui_->previewPlace->hide();
    preview_.Create(nullptr, "", kChildVisibleTabStop, ui_->previewPlace->geometry(), this, 1020);
    preview_.ShowWindow(false);

    connect(ui_->searchButton, &QPushButton::clicked, this, [this] { OnSearch(); });
    connect(ui_->addButton, &QPushButton::clicked, this, &COrvaneDlg::OnAdd);
    connect(ui_->deleteButton, &QPushButton::clicked, this, &COrvaneDlg::OnDelete);
    connect(ui_->exitButton, &QPushButton::clicked, this, &COrvaneDlg::OnOK);
    connect(ui_->cameraList, &QTreeView::clicked, this, &COrvaneDlg::onListClicked);
    ui_->cameraList->setContextMenuPolicy(Qt::CustomContextMenu);
    ui_->cameraList->installEventFilter(this);
    ui_->cameraList->viewport()->installEventFilter(this);
    connect(ui_->cameraList, &QWidget::customContextMenuRequested, this, &COrvaneDlg::onListRightClicked);
}

void COrvaneDlg::AddCameraRow(const char* ip, const char* mac, const char* version, int x, int y,
                              const char* uid, const char* keyId)
{
    list_.addRow(ip, mac, version, x, y, uid, keyId);
}

void COrvaneDlg::OnSearch() { OnSearch(orvane::SearchRequest{}); }

void COrvaneDlg::OnSearch(const orvane::SearchRequest& request)
{
    lastSearch_ = request;
    g_hMainWnd.publish(this);
    list_.deleteAllRows();
    FlushNeighbourCache();
    CWaitingDlg waiting;
    waiting.mode = CWaitingDlg::Mode::Search;
    waiting.searchRequest = request;
    waiting.exec();
    tellIfSearchNotSent();
}

// The targets are checked whole before anything is sent.
void COrvaneDlg::OnSearchNetworks()
{
    const QString text = askNetworks_(this);
    if (text.isNull() || text.trimmed().isEmpty())
        return;
    orvane::SearchRequest request;
    std::string why;
    if (!orvane::ParseSearchTargets(text.toStdString(), request.targets, why)) {
        ShowWindowMessage(this, QStringLiteral("Nothing was searched: %1.").arg(QString::fromStdString(why)));
        return;
    }
    OnSearch(request);
}

// A search whose request went out nowhere would look like an empty network.
// A second copy of the program, whose socket could not be set up, keeps its
// silent empty list.
void COrvaneDlg::tellIfSearchNotSent()
{
    const orvane::SearchReport& report = orvane::TheSearchExchange().lastReport();
    if (!report.socketReady || report.requestsSent() > 0)
        return;
    ShowWindowMessage(this, QStringLiteral("The search could not be sent on any network interface (tried: %1).\n"
                                           "Connect this computer to the camera network with an IPv4 address "
                                           "and search again.")
                                .arg(QString::fromStdString(report.describeTries())));
}

void COrvaneDlg::OnRefill()
{
    char keyId[16];
    for (const orvane::CameraRecord* camera = orvane::TheCameraDirectory().head(); camera != nullptr;
         camera = camera->next.get()) {
        std::snprintf(keyId, sizeof keyId, "%d", camera->keyId);
        list_.addRow(camera->ip, camera->mac, camera->version, camera->x, camera->y, camera->uid, keyId,
                     camera->interfaceName);
    }
}

void COrvaneDlg::OnAdd()
{
    CAddDlg add;
    if (add.exec() != QDialog::Accepted)
        return;
    char ip[16];
    std::snprintf(ip, sizeof ip, "%d.%d.%d.%d", add.octet1, add.octet2, add.octet3, add.octet4);
    AddCameraRow(ip, "?", "?", 0, 0, "?", "1");
}

void COrvaneDlg::OnDelete()
{
    list_.deleteSelectedRows();
}

void COrvaneDlg::onListClicked(const QModelIndex& index)
{
    if (index.isValid())
        currentRow_ = index.row();
}

void COrvaneDlg::onListRightClicked(const QPoint& viewportPos)
{
    const int row = list_.rowAt(viewportPos.x(), viewportPos.y());
    if (row == -1)
        return;
    currentRow_ = row;
    std::unique_ptr<QMenu> menu(LoadPopupMenu(kRowMenu, this));
    const QAction* chosen = menu->exec(ui_->cameraList->viewport()->mapToGlobal(viewportPos));
    if (chosen != nullptr)
        OnCommand(chosen->data().toInt());
}

bool COrvaneDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The row menu answers the mouse only: the keyboard's menu key would
    // otherwise open it on the keyboard's current row, which is not the
    // row the commands act on until it is clicked.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Mouse)
        return true;
    return QDialog::eventFilter(watched, event);
}

void COrvaneDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // The window manager owns the system menu, so the About entry lives in a
    // menu of the window's own, opened by a right-click outside the list.
    const QString about = LoadResourceString(kAboutMenuString);
    if (about.isEmpty())
        return;
    QMenu menu(this);
    menu.addSeparator();
    menu.addAction(about)->setData(int(kAbout));
    menu.addAction(QStringLiteral("Export list..."))->setData(int(kExportList));
    menu.addAction(QStringLiteral("Search &networks..."))->setData(int(kSearchNetworks));
    menu.addAction(QStringLiteral("Apply &plan..."))->setData(int(kApplyPlan));
    menu.addAction(QStringLiteral("Live &wall..."))->setData(int(kLiveWallAll));
    if (const QAction* chosen = menu.exec(event->globalPos()))
        OnCommand(chosen->data().toInt());
}

void COrvaneDlg::OnCommand(int command)
{
    switch (command) {
    case kUpdate:
        uploadFromRow(QStringLiteral("image|*.br||"), CWaitingDlg::Mode::Firmware);
        break;
    case kUpdateOnvifIps:
        uploadFromRow(QStringLiteral("onvif_ips|*.txt||"), CWaitingDlg::Mode::AddressList);
        break;
    case kSet:
        OnSet();
        break;
    case kLink1080P:
        OnLink(orvane::LinkQuality::k1080P);
        break;
    case kLink720P:
        OnLink(orvane::LinkQuality::k720P);
        break;
    case kRegActivex:
        orvane::OnRegActivex();
        break;
    case kAbout: {
        CAboutDlg about;
        about.exec();
        break;
    }
    case kUpdateSelected:
        OnUpdateSelected();
        break;
    case kAssignAddresses:
        OnAssignAddresses();
        break;
    case kExportList:
        OnExportList();
        break;
    case kOpenWebPage:
        OnOpenWebPage();
        break;
    case kSearchNetworks:
        OnSearchNetworks();
        break;
    case kApplyPlan:
        OnApplyPlan();
        break;
    case kLiveWall:
        OnLiveWall(chosenRows());
        break;
    case kLiveWallAll: {
        std::vector<int> rows(list_.listedRows().size());
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        OnLiveWall(rows);
        break;
    }
    default:
        break;
    }
}

void COrvaneDlg::OnLink(orvane::LinkQuality quality)
{
    char ip[CameraList::kCellBuffer];
    char version[CameraList::kCellBuffer];
    list_.readCell(currentRow_, kIpColumn, ip);
    list_.readCell(currentRow_, kVersionColumn, version);
    const int16_t stream = orvane::StreamForLink(version, quality);
    preview_.ShowWindow(true);
    preview_.OpenStream(ip, stream);
}

void COrvaneDlg::OnSet()
{
    char ip[CameraList::kCellBuffer];
    char mac[CameraList::kCellBuffer];
    char x[CameraList::kCellBuffer];
    char y[CameraList::kCellBuffer];
    char uid[CameraList::kCellBuffer];
    char keyId[CameraList::kCellBuffer];
    list_.readCell(currentRow_, kIpColumn, ip);
    list_.readCell(currentRow_, kMacColumn, mac);
    list_.readCell(currentRow_, kXColumn, x);
    list_.readCell(currentRow_, kYColumn, y);
    list_.readCell(currentRow_, kUidColumn, uid);
    list_.readCell(currentRow_, kKeyIdColumn, keyId);

    CSetDlg set;
    set.ipText = ip;
    set.cameraAddress = ip;
    set.macText = mac;
    set.x = orvane::ReadDecimal(x);
    set.y = orvane::ReadDecimal(y);
    set.uidText = uid;
    set.keyId = orvane::ReadDecimal(keyId);
    const orvane::CameraRoute route(list_.rowInterface(currentRow_), ip, orvane::AddressPrivilege::AskTheOperator);
    orvane::LinkFailureAdvice advice(orvane::ProcessOperatorPrompt());
    advice.adviseWith(route.advice());
    set.job = orvane::JobContext::Process().through(route.path()).tellingTo(&advice);
    set.exec();
    // A camera that answers only its own subnet cannot be reached without a
    // temporary address there: say so once, after the operation's own box.
    if (const std::string line = advice.advice(); !line.empty())
        ShowWindowMessage(this, QString::fromStdString(line));
}

void COrvaneDlg::uploadFromRow(const QString& filter, CWaitingDlg::Mode mode)
{
    const QString path = chooseFile_(this, filter);
    if (path.isEmpty())
        return;
    char ip[CameraList::kCellBuffer];
    list_.readCell(currentRow_, kIpColumn, ip);
    g_strFilePath = path.toStdString();
    g_strIpcAddress = ip;
    CWaitingDlg waiting;
    waiting.mode = mode;
    waiting.cameraLink = list_.rowInterface(currentRow_);
    waiting.exec();
    // As after a Set: the upload's own box first, then what to do.
    if (const std::string line = waiting.linkAdvice(); !line.empty())
        ShowWindowMessage(this, QString::fromStdString(line));
}

bool COrvaneDlg::event(QEvent* event)
{
    if (event->type() == JobReportEvent::kSearchFinished) {
        OnRefill();
        return true;
    }
    return QDialog::event(event);
}

void COrvaneDlg::OnOK()
{
    preview_.CloseStream();
    accept();
}

void COrvaneDlg::reject()
{
    // Cancel is disabled, so Escape does not end the window: Exit is the only way out.
    QApplication::beep();
}

// The stream closes, the window stays: Exit is the only way out.
void COrvaneDlg::closeEvent(QCloseEvent* event)
{
    preview_.CloseStream();
    event->ignore();
    QApplication::beep();
}

// The selected rows, or the current row when none is selected.
std::vector<int> COrvaneDlg::chosenRows() const
{
    std::vector<int> rows = list_.selectedRows();
    if (rows.empty() && currentRow_ >= 0)
        rows.push_back(currentRow_);
    return rows;
}

std::vector<std::string> COrvaneDlg::selectedAddresses() const
{
    const std::vector<int> rows = chosenRows();
    std::vector<std::string> addresses;
    char ip[CameraList::kCellBuffer];
    for (int row : rows) {
        list_.readCell(row, kIpColumn, ip);
        addresses.emplace_back(ip);
    }
    return addresses;
}

void COrvaneDlg::OnUpdateSelected()
{
    const QString path = chooseFile_(this, QStringLiteral("image|*.br||"));
    if (!path.isEmpty())
        runBatch(int(CBatchDlg::Work::Upgrade), path);
}

void COrvaneDlg::OnAssignAddresses()
{
    CFirstAddressDlg ask(this);
    if (ask.exec() == QDialog::Accepted)
        runBatch(int(CBatchDlg::Work::AssignAddresses), ask.address());
}

// The list shows what the cameras were before the batch: a search after it
// shows their new addresses and versions.
void COrvaneDlg::runBatch(int work, const QString& what)
{
    const std::vector<std::string> addresses = selectedAddresses();
    if (addresses.empty())
        return;
    CBatchDlg batch(static_cast<CBatchDlg::Work>(work), addresses, what, this, lastSearch_.targets);
    batch.setWait(batchWait_);
    batch.exec();
    if (batch.changedCameras())
        OnSearch(lastSearch_);
}

// A site plan works on the cameras it names, whatever is selected; the list
// is searched again at the end, as after any batch that sent something.
void COrvaneDlg::OnApplyPlan()
{
    const QString path = chooseFile_(this, QStringLiteral("plan|*.csv||"));
    if (path.isEmpty())
        return;
    CBatchDlg batch(CBatchDlg::Work::ApplyPlan, {}, path, this);
    batch.setWait(batchWait_);
    batch.exec();
    if (batch.changedCameras())
        OnSearch(lastSearch_);
}

void COrvaneDlg::OnExportList()
{
    const QString path = chooseSave_(this);
    if (path.isEmpty())
        return;
    const std::string text = orvane::FormatCamerasCsv(list_.listedRows());
    orvane::OpenFile file(std::fopen(QFile::encodeName(path).constData(), "wb"));
    const bool written = file && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
                         std::fclose(file.release()) == 0;
    if (!written)
        ShowWindowMessage(this, QStringLiteral("Could not write %1").arg(path));
}

void COrvaneDlg::OnOpenWebPage()
{
    char ip[CameraList::kCellBuffer];
    list_.readCell(currentRow_, kIpColumn, ip);
    if (ip[0] != '\0')
        QDesktopServices::openUrl(QUrl(QStringLiteral("http://%1/").arg(QString::fromLatin1(ip))));
}

// The wall takes the rows' streams by the same rule as Link(720P) and
// Link(1080P), and lives on its own: the main window goes on meanwhile.
void COrvaneDlg::OnLiveWall(const std::vector<int>& rows)
{
    if (rows.empty())
        return;
    if (rows.size() > size_t(CLiveWallDlg::kMaxCameras)) {
        ShowWindowMessage(this, QStringLiteral("The live wall shows at most %1 cameras; %2 are chosen.")
                                    .arg(CLiveWallDlg::kMaxCameras)
                                    .arg(rows.size()));
        return;
    }
    std::vector<CWallTile::Camera> cameras;
    char ip[CameraList::kCellBuffer];
    char version[CameraList::kCellBuffer];
    for (int row : rows) {
        list_.readCell(row, kIpColumn, ip);
        list_.readCell(row, kVersionColumn, version);
        cameras.push_back({ip, orvane::StreamForLink(version, orvane::LinkQuality::k720P),
                           orvane::StreamForLink(version, orvane::LinkQuality::k1080P)});
    }
    auto* wall = new CLiveWallDlg(cameras, this);
    wall->show();
}
