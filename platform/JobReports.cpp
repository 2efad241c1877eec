#include "platform/JobReports.h"

#include "platform/JobScope.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<JobReportSink*> installedSink{nullptr};

bool Deliver(unsigned message, long wParam, long lParam, Delivery delivery)
{
    const JobScope* scope = CurrentJobScope();
    JobReportSink* sink = scope != nullptr ? scope->reports : installedSink.load();
    return sink != nullptr && sink->deliver(message, wParam, lParam, delivery);
}
}  // namespace

JobReportSink* InstallJobReportSink(JobReportSink* sink) { return installedSink.exchange(sink); }

bool SendJobReport(unsigned message, long wParam, long lParam)
{
    return Deliver(message, wParam, lParam, Delivery::Send);
}

bool PostJobReport(unsigned message, long wParam, long lParam)
{
    return Deliver(message, wParam, lParam, Delivery::Post);
}

}  // namespace orvane
