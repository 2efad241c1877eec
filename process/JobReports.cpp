#include "process/JobReports.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<JobReportSink*> installedSink{nullptr};
}  // namespace

JobReportSink* InstallJobReportSink(JobReportSink* sink) { return installedSink.exchange(sink); }

JobReportSink* InstalledJobReportSink() { return installedSink.load(); }

bool ReportJob(const JobReport& report)
{
    JobReportSink* sink = installedSink.load();
    return sink != nullptr && sink->deliver(report);
}

}  // namespace orvane
