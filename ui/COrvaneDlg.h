#pragma once
// The main window: the camera list, Search, Add, Delete and Exit, and the
// row menu whose commands act on the row last clicked. It keeps no camera
// data of its own: every command reads the row's cells back from the list.

#include "preview/CTarnFFMpeg.h"
#include "preview/StreamChoice.h"
#include "ui/CWaitingDlg.h"
#include "ui/CameraList.h"

#include <QDialog>

#include <chrono>
#include <functional>
#include <string>
#include <vector>
#include <memory>

namespace Ui {
class COrvaneDlg;
}
class QMenu;
class QModelIndex;
class QTreeWidget;

class COrvaneDlg : public QDialog {
    Q_OBJECT
public:
    // Menu commands of the row menu and of the window's own menu.
    enum Command : int {
        kLink1080P = 32773,
        kUpdate = 32774,
        kSet = 32776,
        kLink720P = 32780,
        kRegActivex = 32783,
        kUpdateOnvifIps = 32789,
        kAbout = 16,
        // After the row menu's separator, and Export list in the own menu too.
        kUpdateSelected = 33001,
        kAssignAddresses = 33002,
        kExportList = 33003,
        kOpenWebPage = 33004,
        kSearchNetworks = 33005,
        kApplyPlan = 33006,
        // The live wall of the selected rows (row menu), of every row (own menu).
        kLiveWall = 33007,
        kLiveWallAll = 33008,
    };

    // Asks the operator for a file to open through an MFC-style filter
    // ("name|*.ext||"); returns the full path, or an empty text on cancel.
    using FileChooser = std::function<QString(QWidget* parent, const QString& filter)>;

    explicit COrvaneDlg(QWidget* parent = nullptr);
    ~COrvaneDlg() override;

    void AddCameraRow(const char* ip, const char* mac, const char* version, int x, int y, const char* uid,
                      const char* keyId);

    QTreeWidget* listView() const;
    CameraList& cameraList() { return list_; }
    int currentRow() const { return currentRow_; }
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Asks where to export the list; an empty text when the operator cancels.
    using SaveChooser = std::function<QString(QWidget* parent)>;
    void setSaveChooser(SaveChooser chooser) { chooseSave_ = std::move(chooser); }
    // Asks for the networks to search behind a router, one line; a null text on cancel.
    using NetworksAsker = std::function<QString(QWidget* parent)>;
    void setNetworksAsker(NetworksAsker asker) { askNetworks_ = std::move(asker); }
    // How long a batch waits for each camera to come back (300 s, or
    // ORVANE_BATCH_WAIT_S seconds).
    void setBatchWait(std::chrono::seconds wait) { batchWait_ = wait; }
    CTarnFFMpeg& preview() { return preview_; }

    void OnSearch();
    // The Search button's search, also asking the request's targets by unicast.
    void OnSearch(const orvane::SearchRequest& request);
    void OnSearchNetworks();
    void OnAdd();
    void OnDelete();
    // Opens the settings window on the current row's cells.
    void OnSet();
    void OnCommand(int command);
    void OnOK();
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    void OnRefill();
    void tellIfSearchNotSent();
    void onListClicked(const QModelIndex& index);
    void onListRightClicked(const QPoint& viewportPos);
    void uploadFromRow(const QString& filter, CWaitingDlg::Mode mode);
    void OnLink(orvane::LinkQuality quality);
    void OnUpdateSelected();
    void OnAssignAddresses();
    void OnExportList();
    void OnApplyPlan();
    void OnOpenWebPage();
    void OnLiveWall(const std::vector<int>& rows);
    void runBatch(int work, const QString& what);
    std::vector<int> chosenRows() const;
    std::vector<std::string> selectedAddresses() const;

    std::unique_ptr<Ui::COrvaneDlg> ui_;
    CameraList list_;
    int currentRow_ = -1;
    FileChooser chooseFile_;
    SaveChooser chooseSave_;
    NetworksAsker askNetworks_;
    // The latest search's request: a batch searches the same networks.
    orvane::SearchRequest lastSearch_;
    std::chrono::seconds batchWait_;
    // Last: the control it holds goes before the window's other children.
    CTarnFFMpeg preview_;
};

// Turns an MFC-style filter ("image|*.br||") into a file dialog's
// ("image (*.br)").
QString QtFileFilter(const QString& mfcFilter);
