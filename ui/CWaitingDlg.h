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

// The upload workers, each the entry of a detached thread of its own.
void UpdateThread();
void UpdateOnvifIpsThread();

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

    void OnOK();
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnInitDialog();
    void onTimer(int timerId);
    void startWorker(void (*worker)());
    void onJobReport(const orvane::JobReport& report);
    void finish();

    std::unique_ptr<Ui::CWaitingDlg> ui_;
    bool initialised_ = false;
};
