// The search on loopback: answers come from a local socket sending to port
// 10088, which is what a camera's answer looks like to the exchange.

#include "discovery/CameraDirectory.h"
#include "discovery/SearchAnswer.h"
#include "discovery/SearchExchange.h"
#include "process/ProtocolTiming.h"
#include "tests/support/Recorders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

void SendToSearchPort(const std::vector<uint8_t>& datagram)
{
    Socket s = Socket::udp();
    ASSERT_EQ(s.sendTo(datagram.data(), datagram.size(), MakeAddress("127.0.0.1", kSearchLocalPort)),
              static_cast<ssize_t>(datagram.size()));
}

std::vector<uint8_t> Answer(uint8_t lastMacByte, size_t length = kSearchAnswerSize)
{
    std::vector<uint8_t> d(length, 0);
    if (length > 28)
        d[28] = lastMacByte;
    return d;
}

double SecondsOf(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Loopback answers come within microseconds: a gap of 0.5 s tells the same
// story as the cameras' 2 s, four times faster.
ProtocolTiming ShortTiming()
{
    ProtocolTiming timing;
    timing.searchGap_ms = 500;
    return timing;
}
constexpr double kGap_s = 0.5;
constexpr double kEvery_s = 0.6 * kGap_s;  // answers closer than the gap

// One process holds port 10088 for all cases, as the program does.
class SearchExchangeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitSearchSocket()); }
    ScopedProtocolTiming timing{ShortTiming()};
    test::RecordingReports reports;
};

TEST_F(SearchExchangeTest, WaitingDatagramsCountAndOversizedOnesAreDropped)
{
    SendToSearchPort(Answer(1));
    SendToSearchPort(Answer(2, 300));  // longer than 208: dropped whole
    SendToSearchPort(Answer(3, 209));
    SendToSearchPort(Answer(4, 208));
    SendToSearchPort(Answer(1));  // repeated MAC
    auto start = Clock::now();
    SearchIpc();
    double took = SecondsOf(Clock::now() - start);
    EXPECT_GE(took, kGap_s - 0.1);
    EXPECT_LT(took, kGap_s + 1.0);
    EXPECT_FALSE(TheSearchExchange().lastReport().cutShort) << "ended on a quiet gap";

    std::vector<std::string> macs;
    for (const CameraRecord* r = TheCameraDirectory().head(); r; r = r->next.get())
        macs.emplace_back(r->mac);
    EXPECT_EQ(macs, (std::vector<std::string>{"000000000004", "000000000001"}));
    EXPECT_STREQ(TheCameraDirectory().head()->ip, "127.0.0.1");
    // Where each answer came in is kept, also for a link the search did not send on.
    EXPECT_STREQ(TheCameraDirectory().head()->interfaceName, "lo");
    const SearchReport& report = TheSearchExchange().lastReport();
    // The link sent on first, then the one the answers came in on, each with what it heard.
    ASSERT_EQ(report.interfaces.size(), 2u);
    EXPECT_EQ(report.interfaces[0].name, "sv0");
    EXPECT_EQ(report.interfaces[0].error, 0);
    EXPECT_EQ(report.interfaces[0].answers, 0);
    EXPECT_EQ(report.interfaces[1].name, "lo");
    EXPECT_FALSE(report.interfaces[1].broadcast);
    EXPECT_EQ(report.interfaces[1].answers, 3) << "two of them one MAC, the oversized ones not counted";
    EXPECT_EQ(report.requestsSent(), 1);
    EXPECT_FALSE(report.cutShort);
}

TEST_F(SearchExchangeTest, NoInterfaceToSendOnIsAFailureAndListsNothing)
{
    SendToSearchPort(Answer(6));
    auto start = Clock::now();
    SearchRequest nowhere;
    nowhere.interfaces = {"no-such-link"};
    const bool sent = SearchIpc(nowhere);
    EXPECT_FALSE(sent);
    EXPECT_LT(SecondsOf(Clock::now() - start), 0.5);
    EXPECT_EQ(TheCameraDirectory().size(), 0u);
    EXPECT_EQ(TheSearchExchange().lastReport().requestsSent(), 0);
    EXPECT_EQ(TheSearchExchange().lastReport().describeTries(), "none");
    // The windows still hear that the search is over.
    EXPECT_EQ(reports.reports(), std::vector<JobReport>{JobReport::Finished(JobKind::Search, 0)});
    // The datagram that waited is not lost to the next search.
    SearchIpc();
    EXPECT_EQ(TheCameraDirectory().size(), 1u);
}

TEST_F(SearchExchangeTest, EndsWithOneFinishedReportWhileTheListIsFull)
{
    reports.onReport = [](const test::Report& r) {
        // The refill reads the directory while the search is still inside its call.
        if (r.kind == JobReport::Kind::Finished) {
            EXPECT_EQ(TheCameraDirectory().size(), 1u);
        }
    };
    SendToSearchPort(Answer(9));
    SearchIpc();
    EXPECT_EQ(reports.reports(), std::vector<JobReport>{JobReport::Finished(JobKind::Search, 0)});
}

TEST_F(SearchExchangeTest, ForgetsEarlierCamerasAndStillEndsWithoutAReceiver)
{
    SendToSearchPort(Answer(5));
    SearchIpc();
    ASSERT_EQ(TheCameraDirectory().size(), 1u);
    reports.receiverOpen = false;
    SearchIpc();
    EXPECT_EQ(TheCameraDirectory().size(), 0u);
    EXPECT_EQ(reports.reports().back(), JobReport::Finished(JobKind::Search, 0));
}

TEST_F(SearchExchangeTest, TimeOutRestartsAfterEveryDatagram)
{
    std::thread camera([] {
        for (uint8_t i = 1; i <= 3; ++i) {
            std::this_thread::sleep_for(std::chrono::duration<double>(kEvery_s));
            SendToSearchPort(Answer(static_cast<uint8_t>(0x40 + i)));
        }
    });
    auto start = Clock::now();
    SearchIpc();
    double took = SecondsOf(Clock::now() - start);
    camera.join();
    EXPECT_EQ(TheCameraDirectory().size(), 3u);
    EXPECT_GE(took, 3 * kEvery_s + kGap_s - 0.2);  // three answers, then a quiet gap
    EXPECT_LT(took, 3 * kEvery_s + kGap_s + 1.2);
    EXPECT_FALSE(TheSearchExchange().lastReport().cutShort);
}

TEST_F(SearchExchangeTest, CameraThatNeverFallsQuietIsCutAtTheLongest)
{
    ProtocolTiming cut = ShortTiming();
    cut.searchLongest_ms = 1500;
    ScopedProtocolTiming shortLongest(cut);
    std::atomic<bool> searching{true};
    std::thread camera([&searching] {
        while (searching) {
            SendToSearchPort(Answer(0x51));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    auto start = Clock::now();
    SearchIpc();
    double took = SecondsOf(Clock::now() - start);
    searching = false;
    camera.join();
    EXPECT_GE(took, 1.5 - 0.1);
    EXPECT_LT(took, 1.5 + 1.0);
    EXPECT_TRUE(TheSearchExchange().lastReport().cutShort);
    EXPECT_EQ(TheCameraDirectory().size(), 1u) << "one camera, however often it answers";
    SearchIpc();  // takes the answers still queued, so the next case starts empty
}

TEST(SearchExchangeSecondCopy, CannotBindAndSearchesEndAtOnceEmpty)
{
    SearchExchange holder;  // the suite's socket may not exist yet
    holder.init();
    SearchExchange second;
    EXPECT_FALSE(second.init());
    SendToSearchPort(Answer(7));
    auto start = Clock::now();
    EXPECT_FALSE(second.search());
    EXPECT_LT(SecondsOf(Clock::now() - start), 0.5);
    EXPECT_EQ(TheCameraDirectory().size(), 0u);
    EXPECT_FALSE(second.lastReport().socketReady);
}

}  // namespace
}  // namespace orvane
