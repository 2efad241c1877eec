// Where a job report goes: the sink of the job's context, the process's for
// the process's own context, and whether it found its receiver.

#include "job/JobContext.h"
#include "process/JobReports.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

class KeptReports : public JobReportSink {
public:
    explicit KeptReports(bool open) : open_(open) {}
    bool deliver(const JobReport& report) override
    {
        got.push_back(report);
        return open_;
    }
    std::vector<JobReport> got;

private:
    bool open_;
};

TEST(ReportJob, GoesToTheContextsSinkElseTheProcesssAndSaysWhetherItArrived)
{
    KeptReports process(true);
    KeptReports scoped(false);
    JobReportSink* previous = InstallJobReportSink(&process);
    EXPECT_TRUE(ReportJob(JobReport::Progress(JobKind::Firmware, 10)));
    const JobContext job{&scoped, nullptr, nullptr, {}};
    EXPECT_FALSE(job.report(JobReport::Finished(JobKind::Firmware, 1)));
    EXPECT_FALSE(JobContext{}.report(JobReport::Finished(JobKind::Firmware, 2)));
    EXPECT_TRUE(JobContext::Process().report(JobReport::Progress(JobKind::Firmware, 20)));
    EXPECT_EQ(process.got, (std::vector<JobReport>{JobReport::Progress(JobKind::Firmware, 10),
                                                   JobReport::Progress(JobKind::Firmware, 20)}));
    EXPECT_EQ(scoped.got, std::vector<JobReport>{JobReport::Finished(JobKind::Firmware, 1)});
    InstallJobReportSink(nullptr);
    EXPECT_FALSE(ReportJob(JobReport::Failed(JobKind::Firmware)));
    InstallJobReportSink(previous);
}

}  // namespace
}  // namespace orvane
