// Applying a checked plan on the batch engine with operations and cameras
// played by the test: the order of changes, the read-back after each
// restart, and what an earlier failure does to the changes after it.

#include "batch/BatchRun.h"
#include "fleet/PlanSteps.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace orvane::fleet {
namespace {

using namespace std::chrono_literals;
using batch::BatchOptions;
using batch::BatchRun;
using batch::StepResult;

// Cameras that answer what the test sets, a little later.
class PlayedCameras : public batch::ReadingWatch {
public:
    std::map<std::string, CameraReading> search() override
    {
        std::this_thread::sleep_for(10ms);
        std::lock_guard<std::mutex> lock(mutex);
        ++searches;
        return seen;
    }
    void set(const CameraReading& reading)
    {
        std::lock_guard<std::mutex> lock(mutex);
        seen[reading.mac] = reading;
    }
    void silence(const std::string& mac)
    {
        std::lock_guard<std::mutex> lock(mutex);
        seen.erase(mac);
    }
    std::mutex mutex;
    std::map<std::string, CameraReading> seen;
    int searches = 0;
};

const CameraReading kNow{"10.0.0.11", "000000000001", "V1", "UID00000000000000001", 1, 1, 1, "eth0"};

CameraWork EveryField()
{
    CameraWork w;
    w.mac = kNow.mac;
    w.found = true;
    w.now = kNow;
    w.fields = {{PlanField::Version, "V1", "V2"}, {PlanField::Uid, kNow.uid, "UID00000000000000009"},
                {PlanField::X, "1", "7"},       {PlanField::Y, "1", "1"},
                {PlanField::KeyId, "1", "4"},   {PlanField::Ip, "10.0.0.11", "10.0.0.99"}};
    w.firmware = "/fw.br";
    w.x = 7;
    w.y = 1;
    return w;
}

// The camera takes each change, restarts and answers with it.
CameraReading Took(CameraReading r, PlanField step)
{
    switch (step) {
    case PlanField::Version: r.version = "V2"; break;
    case PlanField::Uid: r.uid = "UID00000000000000009"; break;
    case PlanField::X:
    case PlanField::Y: r.x = 7; break;
    case PlanField::KeyId: r.keyId = 4; break;
    case PlanField::Ip: r.ip = "10.0.0.99"; break;
    }
    return r;
}

// The first camera's fields, each as its word and message.
std::vector<std::string> Outcomes(const BatchRun& run, const CameraWork& work)
{
    std::vector<std::string> words;
    for (const FieldResult& r : FieldResults(work, run.snapshot()[0]))
        words.push_back(std::string(batch::OutcomeWord(r.outcome)) + (r.message.empty() ? "" : ": " + r.message));
    return words;
}

BatchOptions Options(std::chrono::milliseconds wait)
{
    BatchOptions o;
    o.jobs = 2;
    o.wait = wait;
    o.searchPause = 5ms;
    return o;
}

struct Steps {
    std::mutex mutex;
    std::vector<std::pair<PlanField, std::string>> sent;  // step and the address it went to
    void add(PlanField step, const std::string& address)
    {
        std::lock_guard<std::mutex> lock(mutex);
        sent.emplace_back(step, address);
    }
};

TEST(PlanBatch, AppliesEachChangeInOrderAfterTheRestartBefore)
{
    PlayedCameras cameras;
    cameras.set(kNow);
    Steps steps;
    BatchRun run(PlanBatch({EveryField()},
                           [&](const CameraWork&, PlanField step, const JobContext&, const std::string& address) {
                    steps.add(step, address);
                    CameraReading now = cameras.seen.at(kNow.mac);
                    // Silent for a moment, then back with the change.
                    cameras.silence(kNow.mac);
                    std::thread([&cameras, now, step] {
                        std::this_thread::sleep_for(40ms);
                        cameras.set(Took(now, step));
                    }).detach();
                    return StepResult{true, 1, true, {}};
                }),
                 Options(5s), cameras);
    run.start();
    ASSERT_TRUE(run.waitFor(10s));
    EXPECT_EQ(Outcomes(run, EveryField()), (std::vector<std::string>{"applied", "applied", "applied", "unchanged", "applied", "applied"}));
    const std::vector<std::pair<PlanField, std::string>> expected{{PlanField::Version, "10.0.0.11"},
                                                                  {PlanField::Uid, "10.0.0.11"},
                                                                  {PlanField::X, "10.0.0.11"},
                                                                  {PlanField::KeyId, "10.0.0.11"},
                                                                  {PlanField::Ip, "10.0.0.11"}};
    EXPECT_EQ(steps.sent, expected);
    EXPECT_TRUE(run.sentAnything());
    std::this_thread::sleep_for(60ms);  // the last played restart ends
}

struct EndCase {
    const char* name;
    StepResult result;        // of the first change, the upgrade
    bool silentAfter;         // the camera stays silent after it
    bool backWithOld;         // ... or comes back without the change
    std::string versionEnd;
};

class PlanBatchEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(PlanBatchEnds, AnEarlierFailureSkipsTheRest)
{
    PlayedCameras cameras;
    cameras.set(kNow);
    int sent = 0;
    const EndCase& c = GetParam();
    BatchRun run(PlanBatch({EveryField()},
                           [&](const CameraWork&, PlanField, const JobContext&, const std::string&) {
                    ++sent;
                    if (c.silentAfter || c.backWithOld)
                        cameras.silence(kNow.mac);
                    if (c.backWithOld)
                        std::thread([&cameras] {
                            std::this_thread::sleep_for(40ms);
                            cameras.set(kNow);
                        }).detach();
                    return c.result;
                }),
                 Options(300ms), cameras);
    run.start();
    ASSERT_TRUE(run.waitFor(5s));
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(Outcomes(run, EveryField()),
              (std::vector<std::string>{c.versionEnd, "skipped", "skipped", "unchanged", "skipped", "skipped"}));
    std::this_thread::sleep_for(60ms);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, PlanBatchEnds,
    ::testing::Values(EndCase{"Refused", {true, 3, false, {}}, false, false, "failed: the camera replied 3, not 1 or 2"},
                      EndCase{"NoLink", {false, {}, false, "Link IPC error"}, false, false, "failed: Link IPC error"},
                      EndCase{"NotBack", {true, 1, true, {}}, true, false, "not-back"},
                      EndCase{"BackWithout", {true, 1, true, {}}, false, true, "failed: the camera answers with version V1"},
                      // Never silent, still the old version when the wait ends.
                      EndCase{"KeptOld", {true, 1, true, {}}, false, false, "failed: the camera answers with version V1"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(PlanBatch, NothingToChangeSendsAndSearchesNothing)
{
    PlayedCameras cameras;
    CameraWork same = EveryField();
    for (FieldChange& f : same.fields)
        f.from = f.to;
    CameraWork missing;
    missing.mac = "000000000002";
    bool sent = false;
    BatchRun run(PlanBatch({same, missing},
                           [&](const CameraWork&, PlanField, const JobContext&, const std::string&) {
                               sent = true;
                               return StepResult{};
                           }),
                 Options(1s), cameras);
    run.start();
    ASSERT_TRUE(run.waitFor(2s));
    EXPECT_FALSE(sent);
    EXPECT_FALSE(run.sentAnything());
    EXPECT_EQ(cameras.searches, 0);
    EXPECT_EQ(Outcomes(run, same), std::vector<std::string>(6, "unchanged"));
}

}  // namespace
}  // namespace orvane::fleet
