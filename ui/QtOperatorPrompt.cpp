#include "ui/QtOperatorPrompt.h"

#include <QMessageBox>
#include <QThread>

namespace {

void ShowBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

QtOperatorPrompt::QtOperatorPrompt(QObject* parent) : QObject(parent) {}

void QtOperatorPrompt::showMessage(const char* text)
{
    const QString message = QString::fromUtf8(text);
    if (QThread::currentThread() == thread()) {
        ShowBox(message);
        return;
    }
    QMetaObject::invokeMethod(this, [message] { ShowBox(message); }, Qt::BlockingQueuedConnection);
}
