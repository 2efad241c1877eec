#pragma once
// Hands a batch's cameras out to its workers, one at a time and in list
// order, a camera given back for its next step before the rest, and counts
// the workers still running. It holds no lock: its owner calls it under the
// lock that guards the cameras' states.

#include <algorithm>
#include <cstddef>
#include <deque>
#include <optional>

namespace orvane::batch {

class CameraQueue {
public:
    explicit CameraQueue(size_t cameras) : cameras_(cameras) {}

    // No more workers than cameras, and one even for none, which ends the batch.
    size_t startWorkers(int jobs)
    {
        workersRunning_ = std::min(static_cast<size_t>(std::max(jobs, 1)), std::max<size_t>(cameras_, 1));
        return workersRunning_;
    }

    // The next camera still waiting (waiting(index) is true), skipping those
    // that are not; none once the batch is stopped or every camera is handed
    // out, and the worker that is told none is no longer counted.
    template <typename Waiting>
    std::optional<size_t> next(bool stopped, Waiting waiting)
    {
        if (stopped || !ready(waiting)) {
            --workersRunning_;
            return std::nullopt;
        }
        if (!again_.empty()) {
            const size_t index = again_.front();
            again_.pop_front();
            return index;
        }
        return next_++;
    }

    // Whether next() has a camera to hand out now.
    template <typename Waiting>
    bool ready(Waiting waiting)
    {
        while (next_ < cameras_ && !waiting(next_))
            ++next_;
        return !again_.empty() || next_ < cameras_;
    }

    // A camera handed out before is waiting again, for its next step.
    void giveBack(size_t index) { again_.push_back(index); }

    bool workersEnded() const { return workersRunning_ == 0; }

private:
    size_t cameras_;
    size_t next_ = 0;
    std::deque<size_t> again_;
    size_t workersRunning_ = 0;
};

}  // namespace orvane::batch
