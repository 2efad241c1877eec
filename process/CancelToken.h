#pragma once
// Stops a job that runs on a worker thread: every socket the job opened is
// shut down, which wakes a blocked connect, send or receive at once, and the
// sockets it opens later are shut down as they are made.

#include <atomic>
#include <mutex>
#include <vector>

namespace orvane {

class CancelToken {
public:
    void cancel();
    bool cancelled() const { return cancelled_.load(); }

    // Called by sockets made inside the job's scope: on creation and just
    // before their descriptor is closed, so a shut-down never reaches a
    // descriptor number that another socket has reused.
    void track(int fd);
    void forget(int fd);

private:
    std::mutex mutex_;
    std::vector<int> open_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace orvane
