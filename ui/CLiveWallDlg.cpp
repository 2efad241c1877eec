#include "ui/CLiveWallDlg.h"

#include "ui/Resources.h"

#include <QCloseEvent>
#include <QGridLayout>

CLiveWallDlg::CLiveWallDlg(const std::vector<CWallTile::Camera>& cameras, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("liveWall"));
    setWindowTitle(QStringLiteral("Live wall"));
    setWindowIcon(ApplicationIcon());
    setStyleSheet(QStringLiteral("#liveWall { background: #202020; }"));
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(2, 2, 2, 2);
    grid_->setSpacing(2);
    const int side = GridSide(static_cast<int>(cameras.size()));
    for (int i = 0; i < side; ++i) {
        grid_->setRowStretch(i, 1);
        grid_->setColumnStretch(i, 1);
    }
    for (size_t i = 0; i < cameras.size() && i < size_t(kMaxCameras); ++i) {
        auto tile = std::make_unique<CWallTile>(cameras[i], this);
        if (tile->created()) {
            grid_->addWidget(tile->widget(), int(i) / side, int(i) % side);
            connect(tile.get(), &CWallTile::doubleClicked, this, &CLiveWallDlg::onDoubleClicked);
            tile->play(CWallTile::Quality::k720P);
        }
        tiles_.push_back(std::move(tile));
    }
    // 16:9 tiles of 320x180 at least, so that a 4x4 wall's captions fit.
    resize(side * 322 + 2, side * 182 + 2);
}

CLiveWallDlg::~CLiveWallDlg() = default;

int CLiveWallDlg::GridSide(int count)
{
    int side = 1;
    while (side * side < count && side < 4)
        ++side;
    return side;
}

void CLiveWallDlg::closeEvent(QCloseEvent* event)
{
    for (const std::unique_ptr<CWallTile>& tile : tiles_)
        tile->stop();
    event->accept();
}

// Across the wall only one stream plays: the others' are closed, so that
// the wall's cost follows what it shows, and opened again on the way back.
void CLiveWallDlg::onDoubleClicked(CWallTile* tile)
{
    const bool enlarge = enlarged_ == nullptr;
    enlarged_ = enlarge ? tile : nullptr;
    for (const std::unique_ptr<CWallTile>& other : tiles_) {
        if (!other->created())
            continue;
        if (other.get() == tile) {
            other->play(enlarge ? CWallTile::Quality::k1080P : CWallTile::Quality::k720P);
        } else if (enlarge) {
            other->stop();
            other->widget()->hide();
        } else {
            other->widget()->show();
            other->play(CWallTile::Quality::k720P);
        }
    }
    // Hidden tiles leave their rows and columns empty; the stretch of those
    // would still keep their space.
    const int side = GridSide(static_cast<int>(tiles_.size()));
    for (int i = 0; i < side; ++i) {
        const int row = tile->widget() != nullptr ? grid_->indexOf(tile->widget()) : -1;
        int r = 0, c = 0, rs = 0, cs = 0;
        if (row >= 0)
            grid_->getItemPosition(row, &r, &c, &rs, &cs);
        grid_->setRowStretch(i, !enlarge || i == r ? 1 : 0);
        grid_->setColumnStretch(i, !enlarge || i == c ? 1 : 0);
    }
}
