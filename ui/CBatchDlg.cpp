#include "ui/CBatchDlg.h"

#include "discovery/SearchExchange.h"
#include "fleet/AddressPlanner.h"
#include "fleet/CameraChoice.h"
#include "fleet/FleetSteps.h"
#include "fleet/PlanFile.h"
#include "fleet/PlanSteps.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using orvane::batch::CameraProgress;
using orvane::batch::CameraState;
using orvane::batch::Outcome;
using orvane::fleet::FleetCamera;

QString Text(const std::string& text) { return QString::fromStdString(text); }

// An upgrade's or an assignment's camera: what its one step came to.
QString StateText(CBatchDlg::Work work, const CameraProgress& p, const FleetCamera& camera)
{
    switch (p.state) {
    case CameraState::Waiting: return QStringLiteral("waiting");
    case CameraState::Working:
        return work == CBatchDlg::Work::Upgrade ? QStringLiteral("uploading") : QStringLiteral("setting the address");
    case CameraState::Restarting: return QStringLiteral("restarting");
    case CameraState::Done: break;
    }
    const orvane::batch::StepProgress step = p.steps.empty() ? orvane::batch::StepProgress{} : p.steps[0];
    switch (p.outcome()) {
    case Outcome::Upgraded: return QStringLiteral("upgraded to %1").arg(Text(orvane::fleet::NewVersion(p).value_or("")));
    case Outcome::Unchanged: return QStringLiteral("came back unchanged");
    case Outcome::NotBack: return QStringLiteral("did not come back");
    case Outcome::Refused: return QStringLiteral("refused (code %1)").arg(step.result.value_or(0));
    case Outcome::Failed: return step.message.empty() ? QStringLiteral("failed") : Text(step.message);
    case Outcome::NotFound: return QStringLiteral("not found");
    case Outcome::Interrupted: return QStringLiteral("interrupted");
    case Outcome::Moved: return QStringLiteral("moved to %1").arg(Text(camera.newIp));
    default: break;
    }
    return {};
}

bool Succeeded(Outcome o) { return o == Outcome::Upgraded || o == Outcome::Moved; }

// A site plan's camera: read back as planned, every field of it.
bool AsPlanned(const orvane::fleet::CameraWork& c, const CameraProgress& p)
{
    const std::vector<orvane::fleet::FieldResult> fields = orvane::fleet::FieldResults(c, p);
    return c.found && std::all_of(fields.begin(), fields.end(), [](const orvane::fleet::FieldResult& r) {
               return r.outcome == Outcome::Applied || r.outcome == Outcome::Unchanged;
           });
}

QString WindowTitle(CBatchDlg::Work work)
{
    switch (work) {
    case CBatchDlg::Work::Upgrade: return QStringLiteral("Update selected");
    case CBatchDlg::Work::AssignAddresses: return QStringLiteral("Assign addresses");
    case CBatchDlg::Work::ApplyPlan: return QStringLiteral("Apply plan");
    }
    return {};
}

QString NewColumnTitle(CBatchDlg::Work work)
{
    switch (work) {
    case CBatchDlg::Work::Upgrade: return QStringLiteral("New version");
    case CBatchDlg::Work::AssignAddresses: return QStringLiteral("New IP");
    case CBatchDlg::Work::ApplyPlan: return QStringLiteral("Changes");
    }
    return {};
}

// "uid: A → B", with the field's outcome once it has one.
QString ChangeLines(const orvane::fleet::CameraWork& camera, const CameraProgress* outcome)
{
    QStringList lines;
    const std::vector<orvane::fleet::FieldResult> results =
        outcome ? orvane::fleet::FieldResults(camera, *outcome) : std::vector<orvane::fleet::FieldResult>();
    for (size_t f = 0; f < camera.fields.size(); ++f) {
        const orvane::fleet::FieldChange& change = camera.fields[f];
        if (!change.needed())
            continue;
        QString line = QStringLiteral("%1: %2 \u2192 %3")
                           .arg(QString::fromLatin1(orvane::fleet::PlanFieldName(change.field)), Text(change.from),
                                Text(change.to));
        if (outcome) {
            const orvane::fleet::FieldResult& r = results[f];
            if (r.outcome != Outcome::Pending)
                line += QStringLiteral(" %1").arg(QString::fromLatin1(orvane::batch::OutcomeWord(r.outcome)));
            if (!r.message.empty())
                line += QStringLiteral(" (%1)").arg(Text(r.message));
        }
        lines << line;
    }
    return lines.isEmpty() ? QStringLiteral("nothing to change") : lines.join(QStringLiteral("; "));
}

}  // namespace

CBatchDlg::CBatchDlg(Work work, std::vector<std::string> ips, QString what, QWidget* parent,
                     std::vector<orvane::SearchTarget> targets)
    : QDialog(parent), work_(work), ips_(std::move(ips)), what_(std::move(what))
{
    search_.targets = std::move(targets);
    setModal(true);
    buildWindow();
    searchFirst();
}

CBatchDlg::~CBatchDlg()
{
    run_.reset();  // cancels and joins its threads before the window goes
    if (searcher_.joinable())
        searcher_.join();
}

void CBatchDlg::buildWindow()
{
    setWindowTitle(WindowTitle(work_));
    table_ = new QTableWidget(static_cast<int>(ips_.size()), kColumns, this);
    table_->setObjectName(QStringLiteral("cameraTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("IP"), QStringLiteral("MAC"), QStringLiteral("Old version"),
                                       QStringLiteral("Progress"), QStringLiteral("State"),
                                       NewColumnTitle(work_)});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table_->rowCount(); ++row) {
        for (int column = 0; column < kColumns; ++column)
            table_->setItem(row, column, new QTableWidgetItem);
        table_->item(row, kIp)->setText(Text(ips_[static_cast<size_t>(row)]));
        table_->item(row, kState)->setText(QStringLiteral("searching"));
        auto* bar = new QProgressBar;
        bar->setRange(0, 1000);
        bar->setValue(0);
        bar->setTextVisible(false);
        table_->setCellWidget(row, kProgress, bar);
    }
    table_->setColumnWidth(kIp, 110);
    table_->setColumnWidth(kMac, 110);
    table_->setColumnWidth(kOldVersion, 90);
    table_->setColumnWidth(kProgress, 120);
    table_->setColumnWidth(kState, 200);

    summary_ = new QLabel(QStringLiteral("Searching for the cameras..."), this);
    summary_->setObjectName(QStringLiteral("summaryLabel"));
    applyButton_ = new QPushButton(QStringLiteral("Apply"), this);
    applyButton_->setObjectName(QStringLiteral("applyButton"));
    applyButton_->setVisible(work_ != Work::Upgrade);
    applyButton_->setEnabled(false);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    connect(applyButton_, &QPushButton::clicked, this, &CBatchDlg::apply);
    connect(cancelButton_, &QPushButton::clicked, this, &CBatchDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(applyButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(820, 120 + 30 * std::min<int>(table_->rowCount(), 12));
}

// The search that learns each camera's MAC and version runs on a worker:
// it takes at least 2 s, and the window must stay live meanwhile.
void CBatchDlg::searchFirst()
{
    if (work_ == Work::ApplyPlan) {
        searcher_ = std::thread([this, path = what_.toStdString()] {
            const orvane::SearchResult found = orvane::TheSearchExchange().search(search_);
            orvane::fleet::CheckedPlan plan = orvane::fleet::CheckPlan(
                orvane::fleet::ReadPlanFile(path),
                {orvane::fleet::ReadingsOf(found.cameras), orvane::ListOwnAddresses(), orvane::ListSearchInterfaces()});
            QMetaObject::invokeMethod(
                this, [this, plan = std::move(plan)]() mutable { showSitePlan(std::move(plan)); }, Qt::QueuedConnection);
        });
        return;
    }
    searcher_ = std::thread([this] {
        std::vector<FleetCamera> found = orvane::fleet::SearchQuietly(orvane::TheSearchExchange(), search_);
        QMetaObject::invokeMethod(this, [this, found = std::move(found)]() mutable { takeSearch(std::move(found)); },
                                  Qt::QueuedConnection);
    });
}

void CBatchDlg::takeSearch(std::vector<FleetCamera> found)
{
    searching_ = false;
    if (work_ == Work::AssignAddresses) {
        showPlan(found);
        return;
    }
    startUpgradeOrAssignment(orvane::fleet::ChooseCameras(ips_, false, found));
}

void CBatchDlg::showPlan(const std::vector<FleetCamera>& found)
{
    const orvane::fleet::AddressPlan plan =
        orvane::fleet::PlanChosenCameras(what_.toStdString(), orvane::fleet::ChooseCameras(ips_, false, found), found);
    planned_ = plan.cameras;
    for (size_t i = 0; i < planned_.size(); ++i) {
        showCamera(static_cast<int>(i), planned_[i]);
        table_->item(static_cast<int>(i), kState)->setText(planned_[i].found ? QStringLiteral("planned")
                                                                            : QStringLiteral("not found"));
    }
    if (!plan.ok) {
        summary_->setText(QStringLiteral("No addresses assigned: %1").arg(Text(plan.error)));
        return;
    }
    summary_->setText(QStringLiteral("Apply gives the cameras the addresses shown."));
    applyButton_->setEnabled(std::any_of(planned_.begin(), planned_.end(), [](const FleetCamera& c) { return c.found; }));
    applyButton_->setFocus();
}

void CBatchDlg::apply()
{
    applyButton_->setEnabled(false);
    if (work_ == Work::ApplyPlan)
        start(orvane::fleet::PlanBatch(sitePlan_.cameras), orvane::fleet::kPlanSearchPause);
    else
        startUpgradeOrAssignment(planned_);
}

void CBatchDlg::showSitePlan(orvane::fleet::CheckedPlan plan)
{
    searching_ = false;
    sitePlan_ = std::move(plan);
    if (!sitePlan_.accepted()) {
        QStringList problems;
        for (const orvane::fleet::PlanProblem& p : sitePlan_.problems)
            problems << Text(orvane::fleet::DescribeProblem(p));
        summary_->setText(QStringLiteral("The plan is refused, nothing was sent:\n%1").arg(problems.join('\n')));
        table_->setRowCount(0);
        return;
    }
    table_->setRowCount(static_cast<int>(sitePlan_.cameras.size()));
    bool work = false;
    for (size_t i = 0; i < sitePlan_.cameras.size(); ++i) {
        const orvane::fleet::CameraWork& c = sitePlan_.cameras[i];
        const int row = static_cast<int>(i);
        for (int column = 0; column < kColumns; ++column)
            table_->setItem(row, column, new QTableWidgetItem);
        auto* bar = new QProgressBar;
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
        table_->setCellWidget(row, kProgress, bar);
        table_->item(row, kIp)->setText(Text(c.found ? c.now.ip : c.plannedIp));
        table_->item(row, kMac)->setText(Text(c.mac));
        table_->item(row, kOldVersion)->setText(Text(c.now.version));
        table_->item(row, kState)->setText(c.found ? QStringLiteral("planned") : QStringLiteral("not found"));
        table_->item(row, kNew)->setText(c.found ? ChangeLines(c, nullptr) : QString());
        work = work || std::any_of(c.fields.begin(), c.fields.end(), [](const auto& f) { return f.needed(); });
    }
    summary_->setText(work ? QStringLiteral("Apply sends the changes shown.")
                           : QStringLiteral("Every camera is as planned: nothing to send."));
    applyButton_->setEnabled(work);
    if (work)
        applyButton_->setFocus();
}

void CBatchDlg::startUpgradeOrAssignment(std::vector<FleetCamera> cameras)
{
    for (size_t i = 0; i < cameras.size(); ++i)
        showCamera(static_cast<int>(i), cameras[i]);
    planned_ = std::move(cameras);
    start(work_ == Work::Upgrade ? orvane::fleet::UpgradeBatch(planned_, what_.toStdString())
                                 : orvane::fleet::AddressBatch(planned_),
          orvane::batch::BatchOptions{}.searchPause);
}

void CBatchDlg::start(std::vector<orvane::batch::BatchCamera> cameras, std::chrono::milliseconds searchPause)
{
    orvane::batch::BatchOptions options;
    options.wait = wait_;
    options.searchPause = searchPause;
    options.privilege = orvane::AddressPrivilege::AskTheOperator;
    changed_ = std::any_of(cameras.begin(), cameras.end(), [](const orvane::batch::BatchCamera& c) {
        return c.found && !c.steps.empty();
    });
    watch_ = std::make_unique<orvane::batch::ReadingWatch>(orvane::TheSearchExchange(), search_);
    run_ = std::make_unique<orvane::batch::BatchRun>(std::move(cameras), options, *watch_);
    // Workers only ask for a refresh; the window reads a snapshot on its own thread.
    run_->onChange([this] {
        if (!refreshQueued_.exchange(true))
            QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
    });
    run_->start();
    refresh();
}

void CBatchDlg::showCamera(int row, const FleetCamera& camera)
{
    table_->item(row, kIp)->setText(Text(camera.ip));
    table_->item(row, kMac)->setText(Text(camera.mac));
    table_->item(row, kOldVersion)->setText(Text(camera.oldVersion));
    if (work_ == Work::AssignAddresses)
        table_->item(row, kNew)->setText(Text(camera.newIp));
}

// One row's state; a camera its path did not reach says what to do.
void CBatchDlg::showRow(int row, const CameraProgress& p)
{
    static_cast<QProgressBar*>(table_->cellWidget(row, kProgress))->setValue(p.permille);
    const size_t i = static_cast<size_t>(row);
    QString state;
    if (work_ == Work::ApplyPlan) {
        const orvane::fleet::CameraWork& c = sitePlan_.cameras[i];
        state = QStringLiteral("waiting");
        if (!c.found)
            state = QStringLiteral("not found");
        else if (p.state == CameraState::Done)
            state = AsPlanned(c, p) ? QStringLiteral("as planned") : QStringLiteral("not as planned");
        else if (const std::optional<orvane::fleet::PlanField> change = orvane::fleet::ChangeUnderWay(c, p))
            state = QStringLiteral("changing %1").arg(QString::fromLatin1(orvane::fleet::PlanFieldName(*change)));
        if (c.found)
            table_->item(row, kNew)->setText(ChangeLines(c, &p));
    } else {
        state = StateText(work_, p, planned_[i]);
        if (work_ == Work::Upgrade)
            table_->item(row, kNew)->setText(Text(orvane::fleet::NewVersion(p).value_or("")));
    }
    if (!p.advice.empty())
        state += QStringLiteral(": %1").arg(Text(p.advice));
    table_->item(row, kState)->setText(state);
}

void CBatchDlg::refresh()
{
    refreshQueued_ = false;
    if (!run_)
        return;
    const std::vector<CameraProgress> now = run_->snapshot();
    int done = 0;
    int failed = 0;
    for (size_t i = 0; i < now.size(); ++i) {
        showRow(static_cast<int>(i), now[i]);
        const bool ended = now[i].state == CameraState::Done;
        const bool good = work_ == Work::ApplyPlan ? AsPlanned(sitePlan_.cameras[i], now[i]) : Succeeded(now[i].outcome());
        done += ended;
        failed += ended && !good;
    }
    summary_->setText(QStringLiteral("%1 / %2 done, %3 failed").arg(done).arg(now.size()).arg(failed));
    if (running())
        return;
    cancelButton_->setText(QStringLiteral("Close"));
    if (closeWhenStopped_)
        QDialog::reject();
}

bool CBatchDlg::running() const
{
    if (searching_)
        return true;
    return run_ && !run_->waitFor(std::chrono::milliseconds(0));
}

bool CBatchDlg::confirmStop()
{
    QMessageBox ask(QMessageBox::Question, windowTitle(),
                    QStringLiteral("Work on the cameras is still running. Stop it and close?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    return ask.exec() == QMessageBox::Yes;
}

// Cancel stops what runs and keeps the window open to show it; once nothing
// runs it closes the window.
void CBatchDlg::reject()
{
    if (run_ && running()) {
        run_->cancel();
        refresh();
        return;
    }
    if (searching_)
        return;  // the first search ends by itself within seconds
    QDialog::reject();
}

// Closing while cameras are worked on asks first; the window then goes once
// the stopped work has ended.
void CBatchDlg::closeEvent(QCloseEvent* event)
{
    if (!running()) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (searching_ || !confirmStop())
        return;
    closeWhenStopped_ = true;
    run_->cancel();
    refresh();
}
