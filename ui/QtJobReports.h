#pragma once
// Carries the core's job reports to the windows: 1125 to g_hMainWnd, 1126 to
// g_hWaitingWnd. A sent report is handled before deliver returns (a direct
// call on the user-interface thread, a queued event and a wait from any
// other); a posted one is queued.

#include "platform/JobReports.h"

class QtJobReports : public orvane::JobReportSink {
public:
    bool deliver(unsigned message, long wParam, long lParam, orvane::Delivery delivery) override;
};
