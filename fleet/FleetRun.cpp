#include "fleet/FleetRun.h"

#include "net/CameraRoute.h"

#include <algorithm>
#include <utility>

namespace orvane::fleet {
namespace {
using Clock = std::chrono::steady_clock;
}

FleetRun::FleetRun(std::vector<FleetCamera> cameras, FleetOptions options, FleetAction action, ReturnWatch& watch)
    : cameras_(std::move(cameras)), options_(options), action_(std::move(action)), watch_(watch),
      progress_(cameras_.size()), comebacks_(cameras_.size()), deadlines_(cameras_.size()), queue_(cameras_.size())
{
    for (size_t i = 0; i < cameras_.size(); ++i) {
        if (!cameras_[i].found) {
            progress_[i].outcome = Outcome::NotFound;
            progress_[i].state = FleetState::Done;
        }
    }
}

FleetRun::~FleetRun()
{
    cancel();
    for (std::thread& t : threads_) {
        if (t.joinable())
            t.join();
    }
}

void FleetRun::start()
{
    size_t workers = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers = queue_.startWorkers(options_.jobs);
    }
    for (size_t i = 0; i < workers; ++i)
        threads_.emplace_back([this] { work(); });
    threads_.emplace_back([this] { watchComebacks(); });
}

bool FleetRun::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, timeout, [this] { return allDone(); });
}

void FleetRun::cancel()
{
    // Stop handing out cameras before the running connections close: a
    // worker whose operation ends at the cancel must find nothing to start.
    bool wasStopped = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasStopped = std::exchange(stopped_, true);
        // Cameras not yet started, or only being watched, end here; running
        // operations end as their connections close.
        for (CameraProgress& p : progress_) {
            if (!wasStopped && (p.state == FleetState::Waiting || p.state == FleetState::Restarting)) {
                p.state = FleetState::Done;
                p.outcome = Outcome::Interrupted;
            }
        }
    }
    cancel_.cancel();
    if (wasStopped)
        return;
    wake_.notify_all();
    changed();
}

std::vector<CameraProgress> FleetRun::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

void FleetRun::work()
{
    for (;;) {
        std::optional<size_t> index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = queue_.next(stopped_, [this](size_t i) { return progress_[i].state == FleetState::Waiting; });
            if (!index)
                break;
            progress_[*index].state = FleetState::Working;
        }
        changed();
        runOne(*index);
    }
    // The last worker out may be what ends the batch.
    wake_.notify_all();
    changed();
}

void FleetRun::runOne(size_t index)
{
    const auto onPermille = [this, index](int permille) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress_[index].permille = permille;
        }
        changed();
    };
    const ActionResult r = [&] {
        const CameraRoute heardOn(cameras_[index].interfaceName, cameras_[index].ip);
        return action_(cameras_[index], cancel_, onPermille);
    }();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        CameraProgress& p = progress_[index];
        p.result = r.result;
        p.message = r.message;
        if (cancel_.cancelled()) {
            p.outcome = Outcome::Interrupted;
        } else if (!r.reached) {
            p.outcome = Outcome::Failed;
        } else if (!r.accepted) {
            p.outcome = Outcome::Refused;
        } else {
            p.permille = 1000;
            p.state = FleetState::Restarting;
            comebacks_[index].emplace(options_.kind, cameras_[index].oldVersion, cameras_[index].newIp);
            deadlines_[index] = Clock::now() + options_.wait;
        }
        if (p.outcome != Outcome::Pending)
            p.state = FleetState::Done;
    }
    wake_.notify_all();
    changed();
}

void FleetRun::watchComebacks()
{
    for (;;) {
        std::vector<size_t> watched;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return allDone() || !restarting().empty(); });
            if (allDone())
                break;
            watched = restarting();
        }
        observeComebacks(watched);
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, options_.searchPause, [this] { return stopped_; });
    }
    wake_.notify_all();
}

void FleetRun::observeComebacks(const std::vector<size_t>& watched)
{
    const std::map<std::string, Sighting> seen = watch_.search();
    const auto now = Clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t index : watched) {
            CameraProgress& p = progress_[index];
            if (p.state != FleetState::Restarting)
                continue;  // interrupted meanwhile
            Comeback& comeback = *comebacks_[index];
            const auto found = seen.find(cameras_[index].mac);
            if (found == seen.end())
                comeback.observe(false);
            else
                comeback.observe(true, found->second.ip, found->second.version);
            if (!comeback.decided() && now >= deadlines_[index])
                comeback.endWait();
            if (comeback.decided()) {
                p.outcome = comeback.outcome();
                p.state = FleetState::Done;
                if (p.outcome != Outcome::NotBack)
                    p.newVersion = comeback.lastVersion();
            }
        }
    }
    wake_.notify_all();
    changed();
}

std::vector<size_t> FleetRun::restarting() const
{
    std::vector<size_t> indices;
    for (size_t i = 0; i < progress_.size(); ++i) {
        if (progress_[i].state == FleetState::Restarting)
            indices.push_back(i);
    }
    return indices;
}

bool FleetRun::allDone() const
{
    return queue_.workersEnded() &&
           std::all_of(progress_.begin(), progress_.end(), [](const CameraProgress& p) { return p.state == FleetState::Done; });
}

void FleetRun::changed()
{
    if (onChange_)
        onChange_();
}

}  // namespace orvane::fleet
