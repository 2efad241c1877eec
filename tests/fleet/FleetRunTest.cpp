// The batch runner with operations and searches played by the test: how
// many cameras run at once, how results become outcomes, the wait, and
// cancelling operations that block on a connection.

#include "fleet/FleetRun.h"

#include "discovery/SearchExchange.h"
#include "platform/JobScope.h"
#include "net/Socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace orvane::fleet {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Searches that see what the test says, a little later.
class PlayedWatch : public ReturnWatch {
public:
    PlayedWatch() : ReturnWatch(TheSearchExchange()) {}
    std::map<std::string, Sighting> search() override
    {
        std::this_thread::sleep_for(20ms);
        std::lock_guard<std::mutex> lock(mutex);
        ++searches;
        return seen;
    }
    std::mutex mutex;
    std::map<std::string, Sighting> seen;
    int searches = 0;
};

std::vector<FleetCamera> Cameras(int n)
{
    std::vector<FleetCamera> cameras;
    for (int i = 0; i < n; ++i)
        cameras.push_back({"10.0.0." + std::to_string(10 + i), "mac" + std::to_string(i), "V1", "eth0", {}, true});
    return cameras;
}

std::vector<Outcome> Outcomes(const FleetRun& run)
{
    std::vector<Outcome> outcomes;
    for (const CameraProgress& p : run.snapshot())
        outcomes.push_back(p.outcome);
    return outcomes;
}

FleetOptions Options(int jobs, std::chrono::milliseconds wait)
{
    FleetOptions o;
    o.jobs = jobs;
    o.wait = wait;
    o.searchPause = 10ms;
    return o;
}

TEST(FleetRun, RunsAtMostJobsAtOnceAndWatchesAcceptedCamerasComeBack)
{
    PlayedWatch watch;
    for (int i = 0; i < 6; ++i)
        watch.seen["mac" + std::to_string(i)] = {"10.0.0." + std::to_string(10 + i), "V2"};
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    FleetAction action = [&](const FleetCamera&, CancelToken&, const std::function<void(int)>& onPermille) {
        const int now = ++running;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        onPermille(500);
        std::this_thread::sleep_for(60ms);
        --running;
        return ActionResult{true, 1, true, {}};
    };
    FleetRun run(Cameras(6), Options(2, 5s), action, watch);
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_EQ(most.load(), 2);
    EXPECT_EQ(Outcomes(run), std::vector<Outcome>(6, Outcome::Upgraded));
    for (const CameraProgress& p : run.snapshot()) {
        EXPECT_EQ(p.newVersion, "V2");
        EXPECT_EQ(p.result, 1);
        EXPECT_EQ(p.permille, 1000);
    }
}

TEST(FleetRun, ResultsBecomeOutcomesAndUnfoundCamerasGetNothing)
{
    PlayedWatch watch;
    std::vector<FleetCamera> cameras = Cameras(4);
    cameras[3].found = false;
    std::set<std::string> reached;
    std::mutex mutex;
    FleetAction action = [&](const FleetCamera& camera, CancelToken&, const std::function<void(int)>&) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            reached.insert(camera.ip);
        }
        if (camera.ip == "10.0.0.10")
            return ActionResult{false, std::nullopt, false, "Link IPC error"};
        if (camera.ip == "10.0.0.11")
            return ActionResult{true, 3, false, {}};
        return ActionResult{true, 0, false, {}};  // no reply
    };
    FleetRun run(cameras, Options(4, 1s), action, watch);
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_EQ(Outcomes(run), (std::vector<Outcome>{Outcome::Failed, Outcome::Refused, Outcome::Refused, Outcome::NotFound}));
    EXPECT_EQ(run.snapshot()[0].message, "Link IPC error");
    EXPECT_EQ(run.snapshot()[1].result, 3);
    EXPECT_EQ(reached, (std::set<std::string>{"10.0.0.10", "10.0.0.11", "10.0.0.12"}));
    EXPECT_EQ(watch.searches, 0);  // nobody to watch for
}

TEST(FleetRun, TheWaitEndsTheWatch)
{
    PlayedWatch watch;
    watch.seen["mac0"] = {"10.0.0.10", "V1"};  // keeps answering, never restarts
    FleetAction accepted = [](const FleetCamera&, CancelToken&, const std::function<void(int)>&) {
        return ActionResult{true, 2, true, {}};
    };
    FleetRun run(Cameras(2), Options(2, 300ms), accepted, watch);
    const auto start = Clock::now();
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_EQ(Outcomes(run), (std::vector<Outcome>{Outcome::Unchanged, Outcome::NotBack}));
    EXPECT_EQ(run.snapshot()[1].newVersion, std::nullopt);
}

TEST(FleetRun, CancelClosesRunningConnectionsAndInterruptsTheRest)
{
    PlayedWatch watch;
    Socket listener = Socket::tcp();
    ASSERT_TRUE(listener.bindTo(MakeAddress("127.0.0.1", 0)));
    ASSERT_EQ(::listen(listener.fd(), 8), 0);
    sockaddr_in where{};
    socklen_t length = sizeof where;
    ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&where), &length);
    std::atomic<int> blocked{0};
    FleetAction waitsForAReply = [&](const FleetCamera&, CancelToken& cancel, const std::function<void(int)>&) {
        ScopedJob scope({nullptr, nullptr, &cancel});
        Socket channel = Socket::tcp();
        ActionResult r;
        if (!channel.connectTo(where))
            return r;
        ++blocked;
        char reply[16];
        r.reached = channel.receive(reply, sizeof reply) > 0;  // the camera never answers
        return r;
    };
    FleetRun run(Cameras(5), Options(2, 5s), waitsForAReply, watch);
    run.start();
    while (blocked.load() < 2)
        std::this_thread::sleep_for(5ms);
    const auto start = Clock::now();
    run.cancel();
    ASSERT_TRUE(run.waitFor(2s));
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(Outcomes(run), std::vector<Outcome>(5, Outcome::Interrupted));
    EXPECT_EQ(blocked.load(), 2);  // the waiting three were never started
}

}  // namespace
}  // namespace orvane::fleet
