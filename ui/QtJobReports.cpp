#include "ui/QtJobReports.h"

#include "ui/JobReportEvent.h"
#include "ui/WindowState.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

namespace {

bool OnUserInterfaceThread()
{
    return QCoreApplication::instance() != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

bool QtJobReports::deliver(unsigned message, long wParam, long lParam, orvane::Delivery delivery)
{
    const WindowHandle& target = message == orvane::kMsgSearchFinished ? g_hMainWnd : g_hWaitingWnd;
    if (delivery == orvane::Delivery::Post)
        return target.post(new JobReportEvent(message, wParam, lParam));

    if (OnUserInterfaceThread()) {
        // Windows are destroyed on this thread only, so the one read here
        // stays alive for the call.
        QObject* window = target.get();
        if (window == nullptr)
            return false;
        JobReportEvent event(message, wParam, lParam);
        QCoreApplication::sendEvent(window, &event);
        return true;
    }

    QSemaphore handled;
    if (!target.post(new JobReportEvent(message, wParam, lParam, &handled)))
        return false;
    handled.acquire();
    orvane::HandoffReceived(&handled);
    return true;
}
