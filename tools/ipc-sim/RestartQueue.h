#pragma once
// Restarts under way, handed from the command port's connection threads to
// its one accepting thread: that thread closes a restarting camera's
// listener and brings the camera back when its silence is over, so an idle
// camera costs no thread of its own. An eventfd wakes the accepting thread
// out of its poll().

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/ipc-sim/CommandPort.h"

namespace orvane::sim {

enum class RestartReason { Upgrade, Address, Settings };

struct Restart {
    size_t camera = 0;  // index into the configuration's cameras
    RestartReason reason = RestartReason::Upgrade;
    std::string newIp;  // an address change's address
    std::chrono::steady_clock::time_point due;
    SettingChange settings;  // taken when the camera comes back
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

    // Any thread: queues a restart, wakes the accepting thread and waits
    // until that thread has closed the camera's listener (or stops), so that
    // whatever the camera says next, no new connection reaches it.
    void add(Restart restart);
    // Any thread: wakes the accepting thread, e.g. to notice a stop.
    void wake();
    // The accepting thread, as it ends: nobody waits for it any longer.
    void abandon();

    // The accepting thread: clears the wake-up, then takes the restarts that
    // began since it last asked and those whose silence is over.
    void clearWake();
    std::vector<size_t> takeStarted();
    // The listeners of everything takeStarted() gave are closed.
    void confirmStarted();
    std::vector<Restart> takeDue(std::chrono::steady_clock::time_point now);
    // Milliseconds until the next restart is due (rounded up), -1 when none is.
    int msUntilNext(std::chrono::steady_clock::time_point now) const;

private:
    int wakeFd_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable confirmed_;
    uint64_t added_ = 0;
    uint64_t taken_ = 0;      // restarts takeStarted() has given
    uint64_t closed_ = 0;     // ... and whose listeners are closed
    bool abandoned_ = false;
    std::vector<size_t> started_;
    std::vector<Restart> pending_;
};

}  // namespace orvane::sim
