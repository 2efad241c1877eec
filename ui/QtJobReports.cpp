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

bool QtJobReports::deliver(const orvane::JobReport& report)
{
    const orvane::WireForm form = orvane::WireFormOf(report);
    bool delivered = true;
    for (size_t i = 0; i < form.count; ++i) {
        const orvane::WireMessage& m = form.messages[i];
        delivered = deliverMessage(m.message, m.wParam, m.lParam, m.delivery) && delivered;
    }
    return delivered;
}

bool QtJobReports::deliverMessage(unsigned message, long wParam, long lParam, orvane::Delivery delivery)
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
