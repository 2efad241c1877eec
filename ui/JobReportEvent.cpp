#include "ui/JobReportEvent.h"

#include "ui/JobReportWire.h"

#include <QSemaphore>

JobReportEvent::JobReportEvent(unsigned message, long wParam, long lParam, QSemaphore* handled)
    : QEvent(typeFor(message)), wParam_(wParam), lParam_(lParam), handled_(handled)
{
    orvane::HandoffSent(this);
}

JobReportEvent::~JobReportEvent()
{
    if (handled_ != nullptr) {
        orvane::HandoffSent(handled_);
        handled_->release();
    }
}

QEvent::Type JobReportEvent::typeFor(unsigned message)
{
    return message == orvane::kMsgSearchFinished ? kSearchFinished : kJobProgress;
}
