#include "ui/JobReportWire.h"

namespace orvane {
namespace {

// wParam of message 1126 for the two reports that end a job; any other value
// is the progress in per mille, with lParam -1.
constexpr long kFinalReport = -1;
constexpr long kFailureReport = -2;
constexpr long kNoValue = -1;

WireForm Finished(const JobReport& report)
{
    // A search's end is queued for the progress window, so that the main
    // window has refilled its list before the progress window closes.
    if (report.job == JobKind::Search)
        return {{{kMsgJobProgress, kFinalReport, kNoValue, Delivery::Post},
                 {kMsgSearchFinished, 0, 0, Delivery::Send}},
                2};
    // An upload's end waits until the operator has dismissed the result.
    return {{{kMsgJobProgress, kFinalReport, report.result, Delivery::Send}}, 1};
}

}  // namespace

WireForm WireFormOf(const JobReport& report)
{
    switch (report.kind) {
    case JobReport::Kind::Progress:
        return {{{kMsgJobProgress, report.permille, kNoValue, Delivery::Send}}, 1};
    case JobReport::Kind::Finished:
        return Finished(report);
    case JobReport::Kind::Failed:
        return {{{kMsgJobProgress, kFailureReport, kNoValue, Delivery::Post}}, 1};
    }
    return {{}, 0};
}

JobReport ReadJobProgress(JobKind job, long wParam, long lParam)
{
    if (wParam == kFinalReport)
        return JobReport::Finished(job, lParam);
    if (wParam == kFailureReport)
        return JobReport::Failed(job);
    return JobReport::Progress(job, static_cast<int>(wParam));
}

}  // namespace orvane
