#pragma once
// A batch: one operation on many cameras, at most `jobs` at once, each on a
// connection of its own; every camera that accepts is then watched by
// repeated searches until it comes back or its wait is over. Workers and the
// watch run on threads of their own; callers read snapshots.

#include "fleet/CameraQueue.h"
#include "fleet/Comeback.h"
#include "fleet/FleetCamera.h"
#include "fleet/ReturnWatch.h"
#include "process/CancelToken.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orvane::fleet {

// What the operation did to one camera.
struct ActionResult {
    bool reached = false;       // got as far as the camera's answer (or, for settings, sent)
    std::optional<int> result;  // the camera's reply, when there was one
    bool accepted = false;      // the camera will restart
    std::string message;        // the operation's own message when it failed
};

// The operation, run on a worker inside a job scope whose cancel token is
// given; onPermille reports the upload's progress.
using FleetAction =
    std::function<ActionResult(const FleetCamera& camera, CancelToken& cancel, const std::function<void(int)>& onPermille)>;

struct FleetOptions {
    int jobs = 16;
    std::chrono::milliseconds wait = std::chrono::seconds(300);  // from the end of a camera's operation
    std::chrono::milliseconds searchPause = std::chrono::milliseconds(500);
    ComebackKind kind = ComebackKind::Upgrade;
};

class FleetRun {
public:
    FleetRun(std::vector<FleetCamera> cameras, FleetOptions options, FleetAction action, ReturnWatch& watch);
    ~FleetRun();
    FleetRun(const FleetRun&) = delete;
    FleetRun& operator=(const FleetRun&) = delete;

    // Called, from any thread, after any camera's progress changed.
    void onChange(std::function<void()> callback) { onChange_ = std::move(callback); }

    void start();
    // True once every camera has its outcome; waits at most timeout.
    bool waitFor(std::chrono::milliseconds timeout);
    // Closes the running connections; every camera without an outcome ends
    // interrupted.
    void cancel();

    const std::vector<FleetCamera>& cameras() const { return cameras_; }
    std::vector<CameraProgress> snapshot() const;

private:
    void work();
    void runOne(size_t index);
    void watchComebacks();
    void observeComebacks(const std::vector<size_t>& watched);
    std::vector<size_t> restarting() const;
    bool allDone() const;
    void changed();

    std::vector<FleetCamera> cameras_;
    FleetOptions options_;
    FleetAction action_;
    ReturnWatch& watch_;
    std::function<void()> onChange_;
    CancelToken cancel_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<CameraProgress> progress_;
    std::vector<std::optional<Comeback>> comebacks_;
    std::vector<std::chrono::steady_clock::time_point> deadlines_;
    CameraQueue queue_;
    bool stopped_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace orvane::fleet
