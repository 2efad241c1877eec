#pragma once
// Restarts under way, handed from the command port's connection threads to
// its one accepting thread: that thread closes a restarting camera's
// listener and brings the camera back when its silence is over, so an idle
// camera costs no thread of its own. An eventfd wakes the accepting thread
// out of its poll().

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace orvane::sim {

enum class RestartReason { Upgrade, Address };

struct Restart {
    size_t camera = 0;  // index into the configuration's cameras
    RestartReason reason = RestartReason::Upgrade;
    std::string newIp;  // an address change's address
    std::chrono::steady_clock::time_point due;
};

const char* ReasonName(RestartReason reason);

class RestartQueue {
public:
    RestartQueue();
    ~RestartQueue();
    RestartQueue(const RestartQueue&) = delete;
    RestartQueue& operator=(const RestartQueue&) = delete;

    bool valid() const { return wakeFd_ >= 0; }
    int wakeFd() const { return wakeFd_; }

    // Any thread: queues a restart and wakes the accepting thread.
    void add(Restart restart);
    // Any thread: wakes the accepting thread, e.g. to notice a stop.
    void wake();

    // The accepting thread: clears the wake-up, then takes the restarts that
    // began since it last asked and those whose silence is over.
    void clearWake();
    std::vector<size_t> takeStarted();
    std::vector<Restart> takeDue(std::chrono::steady_clock::time_point now);
    // Milliseconds until the next restart is due (rounded up), -1 when none is.
    int msUntilNext(std::chrono::steady_clock::time_point now) const;

private:
    int wakeFd_ = -1;
    mutable std::mutex mutex_;
    std::vector<size_t> started_;
    std::vector<Restart> pending_;
};

}  // namespace orvane::sim
