#pragma once
// The control's own right-click menu: "Save snapshot..." writes the picture
// the control shows now to a PNG or JPEG file the operator names.

#include <QImage>
#include <QPoint>

class QWidget;

namespace vidra {

class SnapshotMenu {
public:
    // Opens the menu at globalPos; with no picture shown the entry is
    // disabled. Returns once the menu, and the file dialog, are closed.
    static void Offer(QWidget* control, const QImage& picture, const QPoint& globalPos);

    // Writes picture to path, in the format its extension names (PNG
    // unless it ends in .jpg or .jpeg); false when it cannot be written.
    static bool Save(const QImage& picture, const QString& path);
};

}  // namespace vidra
