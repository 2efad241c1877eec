#include "ui/CWaitingDlg.h"

#include "ui_CWaitingDlg.h"

#include "control/FileUpload.h"
#include "control/FirmwareKind.h"
#include "discovery/SearchExchange.h"
#include "platform/JobReports.h"
#include "ui/JobReportEvent.h"
#include "ui/WindowMessage.h"
#include "ui/WindowState.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr int kTimerDelay_ms = 100;
constexpr int kBarRange = 1000;
constexpr long kFinalReport = -1;
constexpr long kFailureReport = -2;

constexpr char kRunningText[] = "It is running,Please do not close";
constexpr char kSendFileError[] = "Send file error\xef\xbc\x8cPlease try again";
constexpr char kSendFileOk[] = "Send file OK\xef\xbc\x8cthe IPC is updating,Please do not power off";
constexpr char kSendOnvifOk[] = "Send onvif ips file OK\xef\xbc\x8cthe IPC is updating,Please do not power off";
constexpr char kNoJob[] = "This window has no job to run";
constexpr char kWorkerNotStarted[] = "The job could not be started";

// The timer each mode starts; 0 for none.
int TimerForMode(int mode)
{
    switch (mode) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    default: return 0;
    }
}

}  // namespace

void UpdateThread()
{
    // Own copies: the main window may set the globals again for a later job.
    const std::string path = g_strFilePath;
    const std::string address = g_strIpcAddress;
    if (!orvane::UpdateIpcFirmware(path.c_str(), address.c_str()))
        orvane::PostJobReport(orvane::kMsgJobProgress, kFailureReport, -1);
}

void UpdateOnvifIpsThread()
{
    const std::string path = g_strFilePath;
    const std::string address = g_strIpcAddress;
    if (!orvane::UpdateIpcOnvifIps(path.c_str(), address.c_str()))
        orvane::PostJobReport(orvane::kMsgJobProgress, kFailureReport, -1);
}

CWaitingDlg::CWaitingDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CWaitingDlg>())
{
    ui_->setupUi(this);
}

CWaitingDlg::~CWaitingDlg()
{
    g_hWaitingWnd.withdraw(this);
}

QProgressBar* CWaitingDlg::progressBar() const
{
    return ui_->c1016;
}

void CWaitingDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
}

void CWaitingDlg::OnInitDialog()
{
    ui_->c1->setText(QStringLiteral("OK"));
    ui_->c2->setText(QStringLiteral("Cancel"));
    ui_->waitLabel->setText(QStringLiteral("Please Waiting..... "));
    connect(ui_->c1, &QPushButton::clicked, this, &CWaitingDlg::OnOK);

    const int timerId = TimerForMode(mode);
    if (timerId != 0)
        QTimer::singleShot(kTimerDelay_ms, this, [this, timerId] { onTimer(timerId); });
    g_hWaitingWnd.publish(this);
    g_bRunning = true;
    ui_->c1016->setRange(0, kBarRange);
    ui_->c1016->setValue(0);
    if (timerId == 0)
        QTimer::singleShot(kTimerDelay_ms, this, [this] { onTimer(0); });
}

void CWaitingDlg::onTimer(int timerId)
{
    switch (timerId) {
    case 1:
        orvane::SearchIpc();
        break;
    case 2:
        startWorker(UpdateThread);
        break;
    case 4:
        startWorker(UpdateOnvifIpsThread);
        break;
    default:
        // A window without a job would stay open with nothing to close it.
        ShowWindowMessage(this, QString::fromLatin1(kNoJob));
        finish();
        break;
    }
}

void CWaitingDlg::startWorker(void (*worker)())
{
    try {
        std::thread(worker).detach();
    } catch (const std::system_error&) {
        ShowWindowMessage(this, QString::fromLatin1(kWorkerNotStarted));
        finish();
    }
}

bool CWaitingDlg::event(QEvent* event)
{
    if (event->type() == JobReportEvent::kJobProgress) {
        const auto* report = static_cast<JobReportEvent*>(event);
        onJobReport(report->wParam(), report->lParam());
        return true;
    }
    return QDialog::event(event);
}

void CWaitingDlg::onJobReport(long wParam, long lParam)
{
    if (wParam == kFinalReport) {
        ui_->c1016->setValue(kBarRange);
        const char* text = nullptr;
        if (lParam == 0)
            text = kSendFileError;
        else if (lParam == 1 && mode > 0)
            text = kSendFileOk;
        else if (lParam == 2 && mode > 0)
            text = kSendOnvifOk;
        if (text != nullptr)
            ShowWindowMessage(this, QString::fromUtf8(text));
        finish();
    } else if (wParam == kFailureReport) {
        finish();
    } else {
        ui_->c1016->setValue(static_cast<int>(wParam));
    }
}

void CWaitingDlg::finish()
{
    g_bRunning = false;
    g_hWaitingWnd.withdraw(this);
    accept();
}

void CWaitingDlg::OnOK()
{
    if (g_bRunning) {
        ShowWindowMessage(this, QString::fromLatin1(kRunningText));
        return;
    }
    g_hWaitingWnd.withdraw(this);
    accept();
}

void CWaitingDlg::reject()
{
    // Cancel is disabled: Escape and the close box act through it and do nothing.
    QApplication::beep();
}

void CWaitingDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    QApplication::beep();
}
