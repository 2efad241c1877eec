#include "vidra/SnapshotMenu.h"

#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace vidra {

void SnapshotMenu::Offer(QWidget* control, const QImage& picture, const QPoint& globalPos)
{
    // The picture is copied by reference count only: the one shown at the
    // click is saved, whatever arrives while the dialog is open.
    const QImage shown = picture;
    QPointer<QWidget> alive(control);
    QMenu menu(control);
    QAction* save = menu.addAction(QStringLiteral("Save snapshot..."));
    save->setEnabled(!shown.isNull());
    if (menu.exec(globalPos) != save || alive.isNull())
        return;
    QString path = QFileDialog::getSaveFileName(control, QStringLiteral("Save snapshot"), QStringLiteral("snapshot.png"),
                                                QStringLiteral("PNG image (*.png);;JPEG image (*.jpg *.jpeg)"));
    if (path.isEmpty() || alive.isNull())
        return;
    if (!Save(shown, path))
        QMessageBox::warning(control, QStringLiteral("Save snapshot"), QStringLiteral("Could not write %1").arg(path));
}

bool SnapshotMenu::Save(const QImage& picture, const QString& path)
{
    const QString lower = path.toLower();
    const char* format = lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg")) ? "JPEG" : "PNG";
    return !picture.isNull() && picture.save(path, format, format[0] == 'J' ? 90 : -1);
}

}  // namespace vidra
