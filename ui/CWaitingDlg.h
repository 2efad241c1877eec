#pragma once
// The progress window: opened modally for a search, a firmware upload or an
// ONVIF address-list upload. It starts its job 100 ms
// after it opens, moves its bar on progress reports, shows the result of the
// final report and closes. Only the job's end closes it: OK is refused while
// the job runs, and Escape and the close box do nothing.

#include "discovery/SearchExchange.h"
#include "process/JobReport.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class CWaitingDlg;
}
class QProgressBar;

namespace orvane {
class LinkFailureAdvice;
struct JobContext;
}  // namespace orvane

// The upload workers, each the entry of a detached thread of its own, run
// in the job's context: the process's reports and prompt, the camera's path.
void UpdateThread(const orvane::JobContext& job);
void UpdateOnvifIpsThread(const orvane::JobContext& job);

class CWaitingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWaitingDlg(QWidget* parent = nullptr);
    ~CWaitingDlg() override;

    // Which job the window runs. The numbers are the ones the opener has
    // always used; the timer each starts is its number plus one.
    enum class Mode : int {
        None = -1,  // no job: the window says so and closes
        Search = 0,
        Firmware = 1,
        Idle = 2,  // a timer, but no job behind it
        AddressList = 3,
    };

    Mode mode = Mode::None;
    // Search mode: what the search asks (the Search button's is the plain one).
    orvane::SearchRequest searchRequest;
    // Upload modes: the link the camera was heard on, empty for the routing table.
    std::string cameraLink;

    QProgressBar* progressBar() const;
    // Once the window has closed: what to do about a camera the upload could
    // not connect to, empty when there is nothing to say.
    std::string linkAdvice() const;

    void OnOK();
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnInitDialog();
    void onTimer(int timerId);
    void startWorker(void (*worker)(const orvane::JobContext&));
    void onJobReport(const orvane::JobReport& report);
    void finish();

    std::unique_ptr<Ui::CWaitingDlg> ui_;
    bool initialised_ = false;
    // Shared with the detached worker, which may outlive the window.
    std::shared_ptr<orvane::LinkFailureAdvice> linkAdvice_;
};
