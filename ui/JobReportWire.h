#pragma once
// The windows' form of a job report: messages 1125 (to the main window,
// g_hMainWnd) and 1126 (to the progress window, g_hWaitingWnd) with the
// wParam and lParam they have always carried, how each is delivered, and the
// progress window's reading of them. Nothing outside ui/ sees it.

#include "process/JobReport.h"

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

}  // namespace orvane
