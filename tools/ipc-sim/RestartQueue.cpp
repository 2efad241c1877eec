#include "tools/ipc-sim/RestartQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

namespace orvane::sim {

const char* ReasonName(RestartReason reason)
{
    switch (reason) {
    case RestartReason::Upgrade: return "upgrade";
    case RestartReason::Address: return "address";
    case RestartReason::Settings: return "settings";
    }
    return "";
}

RestartQueue::RestartQueue() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RestartQueue::~RestartQueue()
{
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void RestartQueue::add(Restart restart)
{
    uint64_t ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        started_.push_back(restart.camera);
        pending_.push_back(std::move(restart));
        ticket = ++added_;
    }
    wake();
    std::unique_lock<std::mutex> lock(mutex_);
    confirmed_.wait(lock, [&] { return closed_ >= ticket || abandoned_; });
}

void RestartQueue::abandon()
{
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    confirmed_.notify_all();
}

void RestartQueue::wake()
{
    const uint64_t one = 1;
    // A full counter still wakes the reader, so a failed write loses nothing.
    [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void RestartQueue::clearWake()
{
    uint64_t count = 0;
    [[maybe_unused]] ssize_t got = ::read(wakeFd_, &count, sizeof count);
}

std::vector<size_t> RestartQueue::takeStarted()
{
    std::lock_guard<std::mutex> lock(mutex_);
    taken_ = added_;
    return std::exchange(started_, {});
}

void RestartQueue::confirmStarted()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = taken_;
    confirmed_.notify_all();
}

std::vector<Restart> RestartQueue::takeDue(std::chrono::steady_clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto notDue = std::stable_partition(pending_.begin(), pending_.end(),
                                        [now](const Restart& r) { return r.due <= now; });
    std::vector<Restart> due(std::make_move_iterator(pending_.begin()), std::make_move_iterator(notDue));
    pending_.erase(pending_.begin(), notDue);
    std::sort(due.begin(), due.end(), [](const Restart& a, const Restart& b) { return a.due < b.due; });
    return due;
}

int RestartQueue::msUntilNext(std::chrono::steady_clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.empty())
        return -1;
    auto next = std::min_element(pending_.begin(), pending_.end(),
                                 [](const Restart& a, const Restart& b) { return a.due < b.due; })->due;
    if (next <= now)
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

}  // namespace orvane::sim
