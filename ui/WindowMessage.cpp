#include "ui/WindowMessage.h"

#include <QCoreApplication>
#include <QMessageBox>

void ShowWindowMessage(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, owner);
    box.exec();
}
