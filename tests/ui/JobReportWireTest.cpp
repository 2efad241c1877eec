// The wire form of every job report: the messages, values and delivery the
// windows have always received, and the progress window's reading of them.

#include "ui/JobReportWire.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

std::vector<WireMessage> Messages(const JobReport& report)
{
    const WireForm form = WireFormOf(report);
    return {form.messages, form.messages + form.count};
}

struct WireCase {
    const char* name;
    JobReport report;
    std::vector<WireMessage> wire;
};

void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }

class JobReportWire : public ::testing::TestWithParam<WireCase> {};

TEST_P(JobReportWire, IsTheMessagesTheWindowsReceive)
{
    EXPECT_EQ(Messages(GetParam().report), GetParam().wire);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, JobReportWire,
    ::testing::Values(
        WireCase{"SearchFinished", JobReport::Finished(JobKind::Search, 0),
                 {{1126, -1, -1, Delivery::Post}, {1125, 0, 0, Delivery::Send}}},
        WireCase{"FirmwareProgress", JobReport::Progress(JobKind::Firmware, 639), {{1126, 639, -1, Delivery::Send}}},
        WireCase{"AddressListProgress", JobReport::Progress(JobKind::AddressList, 0), {{1126, 0, -1, Delivery::Send}}},
        WireCase{"FirmwareFinished", JobReport::Finished(JobKind::Firmware, 1), {{1126, -1, 1, Delivery::Send}}},
        WireCase{"FirmwareNoReply", JobReport::Finished(JobKind::Firmware, 0), {{1126, -1, 0, Delivery::Send}}},
        WireCase{"AddressListAccepted", JobReport::Finished(JobKind::AddressList, 2), {{1126, -1, 2, Delivery::Send}}},
        WireCase{"FirmwareFailed", JobReport::Failed(JobKind::Firmware), {{1126, -2, -1, Delivery::Post}}},
        WireCase{"AddressListFailed", JobReport::Failed(JobKind::AddressList), {{1126, -2, -1, Delivery::Post}}}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(JobReportWire, ProgressWindowReadsBackWhatWasSent)
{
    for (JobKind job : {JobKind::Firmware, JobKind::AddressList}) {
        for (const JobReport& sent : {JobReport::Progress(job, 0), JobReport::Progress(job, 999),
                                      JobReport::Finished(job, 0), JobReport::Finished(job, 7),
                                      JobReport::Finished(job, -1), JobReport::Failed(job)}) {
            const WireMessage m = WireFormOf(sent).messages[0];
            EXPECT_EQ(ReadJobProgress(job, m.wParam, m.lParam), sent);
        }
    }
    // A search's final report carries no result the window uses.
    const WireMessage searchEnd = WireFormOf(JobReport::Finished(JobKind::Search, 0)).messages[0];
    EXPECT_EQ(ReadJobProgress(JobKind::Search, searchEnd.wParam, searchEnd.lParam).kind, JobReport::Kind::Finished);
}

}  // namespace
}  // namespace orvane
