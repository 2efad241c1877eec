#include "ui/CWaitingDlg.h"

#include "ui_CWaitingDlg.h"

#include "control/FileUpload.h"
#include "control/FirmwareKind.h"
#include "control/LinkFailureAdvice.h"
#include "discovery/SearchExchange.h"
#include "net/CameraRoute.h"
#include "process/JobReports.h"
#include "ui/JobReportWire.h"
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

constexpr char kRunningText[] = "It is running,Please do not close";
constexpr char kSendFileError[] = "Send file error\xef\xbc\x8cPlease try again";
constexpr char kSendFileOk[] = "Send file OK\xef\xbc\x8cthe IPC is updating,Please do not power off";
constexpr char kSendOnvifOk[] = "Send onvif ips file OK\xef\xbc\x8cthe IPC is updating,Please do not power off";
constexpr char kNoJob[] = "This window has no job to run";
constexpr char kWorkerNotStarted[] = "The job could not be started";

// The timer each mode starts; 0 for none.
int TimerForMode(CWaitingDlg::Mode mode)
{
    switch (mode) {
    case CWaitingDlg::Mode::Search: return 1;
    case CWaitingDlg::Mode::Firmware: return 2;
    case CWaitingDlg::Mode::Idle: return 3;
    case CWaitingDlg::Mode::AddressList: return 4;
    default: return 0;
    }
}

// The kind of job whose reports the window reads; an upload's, for a window
// without a job, since it only ever gets the reports of a stray sender.
orvane::JobKind JobOfMode(CWaitingDlg::Mode mode)
{
    switch (mode) {
    case CWaitingDlg::Mode::Search: return orvane::JobKind::Search;
    case CWaitingDlg::Mode::AddressList: return orvane::JobKind::AddressList;
    default: return orvane::JobKind::Firmware;
    }
}

// The box a final report's result code shows; null for none. Codes 1 and 2
// speak of a file sent, so only an upload window shows them.
const char* ResultText(long result, bool upload)
{
    if (result == 0)
        return kSendFileError;
    if (result == 1 && upload)
        return kSendFileOk;
    if (result == 2 && upload)
        return kSendOnvifOk;
    return nullptr;
}

bool IsUpload(CWaitingDlg::Mode mode)
{
    return mode == CWaitingDlg::Mode::Firmware || mode == CWaitingDlg::Mode::Idle ||
           mode == CWaitingDlg::Mode::AddressList;
}

}  // namespace

void UpdateThread(const orvane::JobContext& job)
{
    // Own copies: the main window may set the globals again for a later job.
    const std::string path = g_strFilePath;
    const std::string address = g_strIpcAddress;
    if (!orvane::UpdateFirmware(job, path.c_str(), address.c_str()).finished)
        job.report(orvane::JobReport::Failed(orvane::JobKind::Firmware));
}

void UpdateOnvifIpsThread(const orvane::JobContext& job)
{
    const std::string path = g_strFilePath;
    const std::string address = g_strIpcAddress;
    if (!orvane::UploadFile(job, orvane::UploadRoutine::OnvifIps, path.c_str(), address.c_str()).finished)
        job.report(orvane::JobReport::Failed(orvane::JobKind::AddressList));
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
    return ui_->progressBar;
}

std::string CWaitingDlg::linkAdvice() const
{
    return linkAdvice_ ? linkAdvice_->advice() : std::string();
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
    ui_->okButton->setText(QStringLiteral("OK"));
    ui_->cancelButton->setText(QStringLiteral("Cancel"));
    ui_->waitLabel->setText(QStringLiteral("Please Waiting..... "));
    connect(ui_->okButton, &QPushButton::clicked, this, &CWaitingDlg::OnOK);

    const int timerId = TimerForMode(mode);
    if (timerId != 0)
        QTimer::singleShot(kTimerDelay_ms, this, [this, timerId] { onTimer(timerId); });
    g_hWaitingWnd.publish(this);
    g_bRunning = true;
    ui_->progressBar->setRange(0, kBarRange);
    ui_->progressBar->setValue(0);
    if (timerId == 0)
        QTimer::singleShot(kTimerDelay_ms, this, [this] { onTimer(0); });
}

void CWaitingDlg::onTimer(int timerId)
{
    switch (timerId) {
    case 1:
        orvane::SearchIpc(searchRequest);
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

void CWaitingDlg::startWorker(void (*worker)(const orvane::JobContext&))
{
    linkAdvice_ = std::make_shared<orvane::LinkFailureAdvice>(orvane::ProcessOperatorPrompt());
    try {
        std::thread([worker, link = cameraLink, camera = g_strIpcAddress, advice = linkAdvice_] {
            // The route may ask the operator for the helper: on the worker,
            // never on the window's thread.
            const orvane::CameraRoute route(link, camera, orvane::AddressPrivilege::AskTheOperator);
            // Kept before the upload can fail, so that the window has it
            // when the failure's report closes it.
            advice->adviseWith(route.advice());
            worker(orvane::JobContext::Process().through(route.path()).tellingTo(advice.get()));
        }).detach();
    } catch (const std::system_error&) {
        ShowWindowMessage(this, QString::fromLatin1(kWorkerNotStarted));
        finish();
    }
}

bool CWaitingDlg::event(QEvent* event)
{
    if (event->type() == JobReportEvent::kJobProgress) {
        const auto* report = static_cast<JobReportEvent*>(event);
        onJobReport(orvane::ReadJobProgress(JobOfMode(mode), report->wParam(), report->lParam()));
        return true;
    }
    return QDialog::event(event);
}

void CWaitingDlg::onJobReport(const orvane::JobReport& report)
{
    switch (report.kind) {
    case orvane::JobReport::Kind::Progress:
        ui_->progressBar->setValue(report.permille);
        break;
    case orvane::JobReport::Kind::Finished:
        ui_->progressBar->setValue(kBarRange);
        if (const char* text = ResultText(report.result, IsUpload(mode)))
            ShowWindowMessage(this, QString::fromUtf8(text));
        finish();
        break;
    case orvane::JobReport::Kind::Failed:
        finish();
        break;
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
