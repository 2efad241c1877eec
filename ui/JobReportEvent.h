#pragma once
// Messages 1125 and 1126 as Qt events. A sender that waits for the handler
// passes a semaphore; the event releases it when it is destroyed, which Qt
// does after the handler has returned, or when the receiver is deleted with
// the event still queued, so a waiting worker is never left hanging. It is
// built on a worker and read on the user-interface thread, by the window or
// by any event filter, so the reads mark the hand-off themselves.

#include "process/ThreadHandoff.h"

#include <QEvent>

class QSemaphore;

class JobReportEvent : public QEvent {
public:
    static constexpr QEvent::Type kSearchFinished = QEvent::Type(QEvent::User + 101);
    static constexpr QEvent::Type kJobProgress = QEvent::Type(QEvent::User + 102);

    JobReportEvent(unsigned message, long wParam, long lParam, QSemaphore* handled = nullptr);
    ~JobReportEvent() override;
    JobReportEvent(const JobReportEvent&) = delete;
    JobReportEvent& operator=(const JobReportEvent&) = delete;

    static QEvent::Type typeFor(unsigned message);

    long wParam() const
    {
        orvane::HandoffReceived(this);
        return wParam_;
    }
    long lParam() const
    {
        orvane::HandoffReceived(this);
        return lParam_;
    }

private:
    long wParam_;
    long lParam_;
    QSemaphore* handled_;
};
