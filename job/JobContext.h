#pragma once
// What one job needs, passed to every operation as a value: where its
// reports go, who is told why it stopped, what cancels it, and the way out
// to its camera. Many jobs can then run at once, each told apart, with no
// state hidden in the thread that runs them.

#include "net/CameraPath.h"

namespace orvane {

class CancelToken;
struct JobReport;
class JobReportSink;
class OperatorPrompt;

struct JobContext {
    JobReportSink* reports = nullptr;  // nullptr: the reports are dropped
    OperatorPrompt* prompt = nullptr;  // nullptr: nobody is told; the caller gets the reason back
    CancelToken* cancel = nullptr;     // nullptr: it runs to its end
    CameraPath path = {};              // default: the routing table

    // The process's own: the installed sink and prompt (one line on stderr
    // without a prompt), nothing that cancels, the routing table. What the
    // program's own single-camera operations run in.
    static JobContext Process();

    JobContext through(CameraPath camera) const;
    JobContext tellingTo(OperatorPrompt* whom) const;

    // Delivers the report to the context's sink; true when it found its receiver.
    bool report(const JobReport& r) const;
    // Tells the context's prompt, if any.
    void tell(const char* text) const;
};

}  // namespace orvane
