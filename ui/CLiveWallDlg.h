#pragma once
// The live wall: every chosen camera's picture at once, one tile per camera
// in the smallest square grid that holds them (1, 2x2, 3x3, 4x4). Each tile
// plays the camera's 720P stream; a double-click plays that camera's 1080P
// stream across the whole wall, another goes back. Closing the wall closes
// every stream. The window is modeless: the main window keeps working.

#include "ui/CWallTile.h"

#include <QWidget>

#include <memory>
#include <vector>

class QGridLayout;

class CLiveWallDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxCameras = 16;

    // At most kMaxCameras cameras; the window deletes itself when closed.
    CLiveWallDlg(const std::vector<CWallTile::Camera>& cameras, QWidget* parent);
    ~CLiveWallDlg() override;

    // The grid's side for count cameras: 1, 2, 3 or 4.
    static int GridSide(int count);

    const std::vector<std::unique_ptr<CWallTile>>& tiles() const { return tiles_; }
    // The tile shown across the whole wall, or null.
    const CWallTile* enlarged() const { return enlarged_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void onDoubleClicked(CWallTile* tile);

    QGridLayout* grid_ = nullptr;
    std::vector<std::unique_ptr<CWallTile>> tiles_;
    CWallTile* enlarged_ = nullptr;
};
