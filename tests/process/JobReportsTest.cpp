// Where a job report goes: the sink of the thread's job scope, else the
// process's, and whether it found its receiver.

#include "process/JobReports.h"
#include "platform/JobScope.h"

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

TEST(ReportJob, GoesToTheScopesSinkElseTheProcesssAndSaysWhetherItArrived)
{
    KeptReports process(true);
    KeptReports scoped(false);
    JobReportSink* previous = InstallJobReportSink(&process);
    EXPECT_TRUE(ReportJob(JobReport::Progress(JobKind::Firmware, 10)));
    {
        ScopedJob job({&scoped, nullptr, nullptr});
        EXPECT_FALSE(ReportJob(JobReport::Finished(JobKind::Firmware, 1)));
    }
    EXPECT_EQ(process.got, std::vector<JobReport>{JobReport::Progress(JobKind::Firmware, 10)});
    EXPECT_EQ(scoped.got, std::vector<JobReport>{JobReport::Finished(JobKind::Firmware, 1)});
    InstallJobReportSink(nullptr);
    EXPECT_FALSE(ReportJob(JobReport::Failed(JobKind::Firmware)));
    InstallJobReportSink(previous);
}

}  // namespace
}  // namespace orvane
