#pragma once
// The progress window: opened modally for a search (mode 0), a firmware
// upload (1) or an ONVIF address-list upload (3). It starts its job 100 ms
// after it opens, moves its bar on progress reports, shows the result of the
// final report and closes. Only the job's end closes it: OK is refused while
// the job runs, and Escape and the close box do nothing.

#include <QDialog>

#include <memory>

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

    int mode = -1;

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
    void onJobReport(long wParam, long lParam);
    void finish();

    std::unique_ptr<Ui::CWaitingDlg> ui_;
    bool initialised_ = false;
};
