// The batch engine with operations and searches played by the test, on an
// upgrade's steps: how many cameras run at once, how results become
// outcomes, the wait, and cancelling operations that block on a connection.

#include "batch/BatchRun.h"
#include "fleet/FleetSteps.h"
#include "process/JobReport.h"
#include "process/JobReports.h"
#include "net/Socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace orvane::fleet {
namespace {

using namespace std::chrono_literals;
using batch::BatchCamera;
using batch::BatchOptions;
using batch::BatchRun;
using batch::CameraProgress;
using batch::CameraReading;
using batch::Outcome;
using batch::StepResult;
using Clock = std::chrono::steady_clock;
using Operation = std::function<StepResult(const JobContext& job, const std::string& address)>;

// Searches that see what the test says, a little later.
class PlayedWatch : public batch::ReadingWatch {
public:
    std::map<std::string, CameraReading> search() override
    {
        std::this_thread::sleep_for(20ms);
        std::lock_guard<std::mutex> lock(mutex);
        ++searches;
        return seen;
    }
    void answer(int camera, const char* version)
    {
        const std::string mac = "mac" + std::to_string(camera);
        CameraReading& r = seen[mac];
        r.ip = "10.0.0." + std::to_string(10 + camera);
        r.mac = mac;
        r.version = version;
    }
    std::mutex mutex;
    std::map<std::string, CameraReading> seen;
    int searches = 0;
};

// Upgrades from V1 whose operation the test plays.
std::vector<BatchCamera> Cameras(int n, const Operation& operation)
{
    std::vector<FleetCamera> cameras;
    for (int i = 0; i < n; ++i)
        cameras.push_back({"10.0.0." + std::to_string(10 + i), "mac" + std::to_string(i), "V1", "", {}, true});
    std::vector<BatchCamera> batch = UpgradeBatch(cameras, "/fw.br");
    for (BatchCamera& c : batch)
        c.steps[0].run = operation;
    return batch;
}

std::vector<Outcome> Outcomes(const BatchRun& run)
{
    std::vector<Outcome> outcomes;
    for (const CameraProgress& p : run.snapshot())
        outcomes.push_back(p.outcome());
    return outcomes;
}

BatchOptions Options(int jobs, std::chrono::milliseconds wait)
{
    BatchOptions o;
    o.jobs = jobs;
    o.wait = wait;
    o.searchPause = 10ms;
    return o;
}

TEST(BatchRun, RunsAtMostJobsAtOnceAndWatchesAcceptedCamerasComeBack)
{
    PlayedWatch watch;
    for (int i = 0; i < 6; ++i)
        watch.answer(i, "V2");
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    const Operation upload = [&](const JobContext& job, const std::string&) {
        const int now = ++running;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        job.report(JobReport::Progress(JobKind::Firmware, 500));
        std::this_thread::sleep_for(60ms);
        --running;
        return StepResult{true, 1, true, {}};
    };
    BatchRun run(Cameras(6, upload), Options(2, 5s), watch);
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_EQ(most.load(), 2);
    EXPECT_EQ(Outcomes(run), std::vector<Outcome>(6, Outcome::Upgraded));
    for (const CameraProgress& p : run.snapshot()) {
        EXPECT_EQ(NewVersion(p), "V2");
        EXPECT_EQ(p.steps[0].result, 1);
        EXPECT_EQ(p.permille, 1000);
    }
}

TEST(BatchRun, ResultsBecomeOutcomesAndUnfoundCamerasGetNothing)
{
    PlayedWatch watch;
    std::set<std::string> reached;
    std::mutex mutex;
    const Operation upload = [&](const JobContext&, const std::string& address) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            reached.insert(address);
        }
        if (address == "10.0.0.10")
            return StepResult{false, std::nullopt, false, "Link IPC error"};
        if (address == "10.0.0.11")
            return StepResult{true, 3, false, {}};
        return StepResult{true, 0, false, {}};  // no reply
    };
    std::vector<BatchCamera> cameras = Cameras(4, upload);
    cameras[3].found = false;
    BatchRun run(cameras, Options(4, 1s), watch);
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_EQ(Outcomes(run), (std::vector<Outcome>{Outcome::Failed, Outcome::Refused, Outcome::Refused, Outcome::NotFound}));
    EXPECT_EQ(run.snapshot()[0].steps[0].message, "Link IPC error");
    EXPECT_EQ(run.snapshot()[1].steps[0].result, 3);
    EXPECT_EQ(reached, (std::set<std::string>{"10.0.0.10", "10.0.0.11", "10.0.0.12"}));
    EXPECT_EQ(watch.searches, 0);  // nobody to watch for
}

TEST(BatchRun, TheWaitEndsTheWatch)
{
    PlayedWatch watch;
    watch.answer(0, "V1");  // keeps answering, never restarts
    const Operation accepted = [](const JobContext&, const std::string&) { return StepResult{true, 2, true, {}}; };
    BatchRun run(Cameras(2, accepted), Options(2, 300ms), watch);
    const auto start = Clock::now();
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_EQ(Outcomes(run), (std::vector<Outcome>{Outcome::Unchanged, Outcome::NotBack}));
    EXPECT_EQ(NewVersion(run.snapshot()[1]), std::nullopt);
}

TEST(BatchRun, CancelClosesRunningConnectionsAndInterruptsTheRest)
{
    PlayedWatch watch;
    Socket listener = Socket::tcp();
    ASSERT_TRUE(listener.bindTo(MakeAddress("127.0.0.1", 0)));
    ASSERT_EQ(::listen(listener.fd(), 8), 0);
    sockaddr_in where{};
    socklen_t length = sizeof where;
    ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&where), &length);
    std::atomic<int> blocked{0};
    const Operation waitsForAReply = [&](const JobContext& job, const std::string&) {
        Socket channel = Socket::tcp();
        channel.cancelWith(job.cancel);
        StepResult r;
        if (!channel.connectTo(where))
            return r;
        ++blocked;
        char reply[16];
        r.reached = channel.receive(reply, sizeof reply) > 0;  // the camera never answers
        return r;
    };
    BatchRun run(Cameras(5, waitsForAReply), Options(2, 5s), watch);
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
