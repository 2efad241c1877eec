#pragma once
// Carries the core's job reports to the windows in their wire form: 1125 to
// g_hMainWnd, 1126 to g_hWaitingWnd. A sent message is handled before the
// call returns (a direct call on the user-interface thread, a queued event
// and a wait from any other); a posted one is queued.

#include "process/JobReports.h"
#include "ui/JobReportWire.h"

class QtJobReports : public orvane::JobReportSink {
public:
    // Every message of the report's wire form; true when each found its window.
    bool deliver(const orvane::JobReport& report) override;
    // One message as it is, for a sender that speaks the wire form itself.
    bool deliverMessage(unsigned message, long wParam, long lParam, orvane::Delivery delivery);
};
