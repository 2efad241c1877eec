#pragma once
// The batch window: one operation on the cameras selected in the main
// window, a row per camera (IP, MAC, old version, progress, state, new
// version or address) and a summary line. It first searches, on a worker,
// to learn each camera's MAC and version; an upgrade then starts at once,
// an address plan waits for Apply. A site plan (a CSV file) shows, after
// that search, each camera's changes as "field: from → to" and waits for
// Apply too. Every batch runs on the one engine, which asks the operator for
// the temporary-address helper as a row's Set does. Cancel stops what runs;
// the window never waits on a camera.

#include "batch/BatchRun.h"
#include "fleet/FleetCamera.h"
#include "fleet/SitePlan.h"

#include <QDialog>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

class CBatchDlg : public QDialog {
    Q_OBJECT
public:
    enum class Work { Upgrade, AssignAddresses, ApplyPlan };
    enum Column { kIp, kMac, kOldVersion, kProgress, kState, kNew, kColumns };

    // what is the firmware file for an upgrade, the first address for an
    // assignment, the plan's file for a site plan (ips are then not used).
    // targets: the networks the main window's search asked by unicast, which
    // the batch's searches ask again.
    CBatchDlg(Work work, std::vector<std::string> ips, QString what, QWidget* parent = nullptr,
              std::vector<orvane::SearchTarget> targets = {});
    ~CBatchDlg() override;

    // How long each camera may take to come back after its operation (300 s).
    void setWait(std::chrono::seconds wait) { wait_ = wait; }

    // Something was sent to a camera: the main window's list may be stale.
    bool changedCameras() const { return changed_; }
    bool running() const;

    QTableWidget* table() const { return table_; }
    QLabel* summary() const { return summary_; }
    QPushButton* applyButton() const { return applyButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void searchFirst();
    void takeSearch(std::vector<orvane::fleet::FleetCamera> found);
    void showPlan(const std::vector<orvane::fleet::FleetCamera>& found);
    void startUpgradeOrAssignment(std::vector<orvane::fleet::FleetCamera> cameras);
    void apply();
    void start(std::vector<orvane::batch::BatchCamera> cameras, std::chrono::milliseconds searchPause);
    void refresh();
    void showRow(int row, const orvane::batch::CameraProgress& p);
    void showCamera(int row, const orvane::fleet::FleetCamera& camera);
    void showSitePlan(orvane::fleet::CheckedPlan plan);
    bool confirmStop();

    Work work_;
    std::vector<std::string> ips_;
    QString what_;
    orvane::SearchRequest search_;
    std::vector<orvane::fleet::FleetCamera> planned_;  // an upgrade's or an assignment's cameras
    orvane::fleet::CheckedPlan sitePlan_;
    std::unique_ptr<orvane::batch::ReadingWatch> watch_;
    std::unique_ptr<orvane::batch::BatchRun> run_;
    std::thread searcher_;
    std::atomic<bool> refreshQueued_{false};
    bool searching_ = true;
    bool changed_ = false;
    bool closeWhenStopped_ = false;
    std::chrono::seconds wait_{300};

    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};
