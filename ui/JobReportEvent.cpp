#include "ui/JobReportEvent.h"

#include "platform/JobReports.h"

#include <QSemaphore>

JobReportEvent::JobReportEvent(unsigned message, long wParam, long lParam, QSemaphore* handled)
    : QEvent(typeFor(message)), wParam_(wParam), lParam_(lParam), handled_(handled)
{
}

JobReportEvent::~JobReportEvent()
{
    if (handled_ != nullptr)
        handled_->release();
}

QEvent::Type JobReportEvent::typeFor(unsigned message)
{
    return message == orvane::kMsgSearchFinished ? kSearchFinished : kJobProgress;
}
