#pragma once
// The one engine of every batch: at most `jobs` cameras worked on at once,
// each camera's steps in order, each step's operation run in a context of
// the camera's own (its reports, its path, the batch's cancel token), then
// the camera watched by repeated searches until the step reads back or its
// wait is over. A camera waiting for its restart holds no worker. Workers
// and the one watch run on threads of their own; callers read snapshots.

#include "batch/BatchCamera.h"
#include "batch/CameraQueue.h"
#include "batch/ReadingWatch.h"
#include "net/CameraRoute.h"
#include "process/CancelToken.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane::batch {

struct BatchOptions {
    int jobs = 16;
    std::chrono::milliseconds wait = std::chrono::seconds(300);  // for each restart
    std::chrono::milliseconds searchPause = std::chrono::milliseconds(500);
    // The window may ask the operator for the helper that adds a temporary
    // address; the command line only uses its own privilege.
    AddressPrivilege privilege = AddressPrivilege::OwnOnly;
};

class BatchRun {
public:
    BatchRun(std::vector<BatchCamera> cameras, BatchOptions options, ReadingWatch& watch);
    ~BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // Called, from any thread, after any camera's progress changed.
    void onChange(std::function<void()> callback) { onChange_ = std::move(callback); }

    void start();
    // True once every camera has its outcome; waits at most timeout.
    bool waitFor(std::chrono::milliseconds timeout);
    // Closes the running connections; every step not yet decided ends
    // interrupted.
    void cancel();

    const std::vector<BatchCamera>& cameras() const { return cameras_; }
    std::vector<CameraProgress> snapshot() const;
    // Whether anything was sent to any camera.
    bool sentAnything() const;

private:
    struct Watched {
        Readback readback;
        std::chrono::steady_clock::time_point deadline;
        uint64_t after = 0;  // only searches begun after this one count
    };

    void work();
    void runStep(size_t index);
    StepResult runOperation(size_t index, size_t step, const std::string& address, std::string& advice);
    void endStep(size_t index, Outcome outcome, std::string message = {});
    void stepTook(size_t index);
    void watchLoop();
    void observe(const std::map<std::string, CameraReading>& seen, uint64_t search);
    void judge(size_t index);
    bool mayComeBack() const;
    bool allDone() const;
    void changed();

    std::vector<BatchCamera> cameras_;
    BatchOptions options_;
    ReadingWatch& watch_;
    std::function<void()> onChange_;
    CancelToken cancel_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<CameraProgress> progress_;
    std::vector<Watched> watched_;
    CameraQueue queue_;
    size_t restarting_ = 0;
    bool stopped_ = false;
    bool sent_ = false;
    bool watchEnds_ = false;
    uint64_t searchesStarted_ = 0;
    std::vector<std::thread> threads_;
};

}  // namespace orvane::batch
