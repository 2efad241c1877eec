#pragma once
// A checked plan applied: each camera worked on by itself, at most `jobs`
// at once, its changes in PlanField order, each one operation after which
// the camera restarts; the next waits until the camera answers a search
// again with the changed field as planned. One watch thread searches for
// every camera that waits. Callers read snapshots.

#include "fleet/CameraQueue.h"
#include "fleet/FieldReadback.h"
#include "fleet/FleetRun.h"
#include "fleet/PlanSteps.h"
#include "fleet/ReadingWatch.h"
#include "fleet/SitePlan.h"
#include "process/CancelToken.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane::fleet {

enum class FieldOutcome {
    Pending,
    Running,      // its operation is under way, or the camera is restarting
    Applied,      // read back as planned
    Unchanged,    // already as planned: nothing sent
    Failed,       // the operation failed, or the camera came back otherwise
    NotBack,      // silent until the wait ended
    Skipped,      // an earlier change of the camera did not take
    NotFound,     // no camera answers with the row's MAC
    Interrupted,  // stopped by the operator
};

// "applied", "unchanged", "failed", "not-back", "skipped", "not-found", ...
const char* FieldOutcomeWord(FieldOutcome outcome);

struct FieldResult {
    FieldOutcome outcome = FieldOutcome::Pending;
    std::string message;  // why it failed
};

struct CameraApply {
    FleetState state = FleetState::Waiting;
    std::optional<PlanField> step;  // the change under way
    int permille = 0;               // of a firmware upload
    std::vector<FieldResult> fields;  // one per CameraWork::fields
};

struct PlanOptions {
    int jobs = 16;
    std::chrono::milliseconds wait = std::chrono::seconds(300);  // for each restart
    std::chrono::milliseconds searchPause = std::chrono::milliseconds(200);
};

class PlanRun {
public:
    PlanRun(std::vector<CameraWork> cameras, PlanOptions options, ReadingWatch& watch,
            PlanStepAction action = RunPlanStep);
    ~PlanRun();
    PlanRun(const PlanRun&) = delete;
    PlanRun& operator=(const PlanRun&) = delete;

    void onChange(std::function<void()> callback) { onChange_ = std::move(callback); }
    void start();
    bool waitFor(std::chrono::milliseconds timeout);
    // Closes the running connections; every field not yet decided ends
    // interrupted.
    void cancel();

    const std::vector<CameraWork>& cameras() const { return cameras_; }
    std::vector<CameraApply> snapshot() const;
    // Whether anything was sent to any camera.
    bool sentAnything() const;

private:
    void work();
    void applyTo(size_t index);
    // Runs one change; false when the camera's later changes must be skipped.
    bool applyStep(size_t index, PlanField step, std::string& address);
    Readback awaitReading(size_t index, PlanField step, std::string& address, std::string& otherwise);
    void watchLoop();
    void setFields(size_t index, PlanField step, FieldOutcome outcome, const std::string& message = {});
    bool allDone() const;
    void changed();

    std::vector<CameraWork> cameras_;
    PlanOptions options_;
    ReadingWatch& watch_;
    PlanStepAction action_;
    std::function<void()> onChange_;
    CancelToken cancel_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<CameraApply> progress_;
    CameraQueue queue_;
    bool stopped_ = false;
    bool sent_ = false;
    // The watch: searches run while a camera waits; a result counts for a
    // camera only when its search began after the camera's operation ended.
    size_t waiters_ = 0;
    uint64_t searchesStarted_ = 0;
    uint64_t latestSearch_ = 0;
    std::map<std::string, CameraReading> latest_;
    bool watchEnds_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace orvane::fleet
