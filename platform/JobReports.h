#pragma once
// Job reports: how the search and the uploads tell the windows about their
// progress. Message 1125 goes to the main window (g_hMainWnd), message 1126 to
// the progress window (g_hWaitingWnd). The windows install the sink that
// resolves those targets; a report that finds no receiver is dropped.

namespace orvane {

enum JobMessage : unsigned {
    kMsgSearchFinished = 0x0400 + 101,  // 1125, to the main window
    kMsgJobProgress = 0x0400 + 102,     // 1126, to the progress window
};

enum class Delivery {
    Send,  // returns after the receiver has handled the report
    Post,  // queued; returns at once
};

class JobReportSink {
public:
    virtual ~JobReportSink() = default;
    // Returns false when the message's window is not there; the report is then
    // dropped. May be called from any thread.
    virtual bool deliver(unsigned message, long wParam, long lParam, Delivery delivery) = 0;
};

JobReportSink* InstallJobReportSink(JobReportSink* sink);

bool SendJobReport(unsigned message, long wParam, long lParam);
bool PostJobReport(unsigned message, long wParam, long lParam);

}  // namespace orvane
