#pragma once
// Job reports: how the search and the uploads tell the windows about their
// progress. Message 1125 goes to the main window (g_hMainWnd), message 1126 to
// the progress window (g_hWaitingWnd). The windows install the sink that
// resolves those targets; a report that finds no receiver is dropped.

#include "platform/JobReport.h"

#include <cstddef>

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

// One message of a report's wire form.
struct WireMessage {
    unsigned message;
    long wParam;
    long lParam;
    Delivery delivery;
    bool operator==(const WireMessage&) const = default;
};

// A report becomes one or two messages: the end of a search also tells the
// main window, after the progress window's report has been queued.
struct WireForm {
    WireMessage messages[2];
    size_t count;
};

WireForm WireFormOf(const JobReport& report);

// What a message 1126 to the progress window of a job of this kind says.
JobReport ReadJobProgress(JobKind job, long wParam, long lParam);

// Delivers the report's wire form; true when every message found its window.
bool ReportJob(const JobReport& report);

// The raw messages, for a test that plays a sender.
bool SendJobReport(unsigned message, long wParam, long lParam);
bool PostJobReport(unsigned message, long wParam, long lParam);

}  // namespace orvane
