#include "fleet/PlanRun.h"

#include <algorithm>
#include <utility>

namespace orvane::fleet {
namespace {

using Clock = std::chrono::steady_clock;

// Each change is one operation; X and Y go out together.
constexpr PlanField kSteps[] = {PlanField::Version, PlanField::Uid, PlanField::X, PlanField::KeyId, PlanField::Ip};

PlanField StepOf(PlanField field) { return field == PlanField::Y ? PlanField::X : field; }

bool Decided(FieldOutcome outcome) { return outcome != FieldOutcome::Pending && outcome != FieldOutcome::Running; }

}  // namespace

const char* FieldOutcomeWord(FieldOutcome outcome)
{
    switch (outcome) {
    case FieldOutcome::Pending: return "pending";
    case FieldOutcome::Running: return "running";
    case FieldOutcome::Applied: return "applied";
    case FieldOutcome::Unchanged: return "unchanged";
    case FieldOutcome::Failed: return "failed";
    case FieldOutcome::NotBack: return "not-back";
    case FieldOutcome::Skipped: return "skipped";
    case FieldOutcome::NotFound: return "not-found";
    case FieldOutcome::Interrupted: return "interrupted";
    }
    return "pending";
}

PlanRun::PlanRun(std::vector<CameraWork> cameras, PlanOptions options, ReadingWatch& watch, PlanStepAction action)
    : cameras_(std::move(cameras)), options_(options), watch_(watch), action_(std::move(action)),
      progress_(cameras_.size()), queue_(cameras_.size())
{
    for (size_t i = 0; i < cameras_.size(); ++i) {
        CameraApply& p = progress_[i];
        p.fields.resize(cameras_[i].fields.size());
        for (size_t f = 0; f < p.fields.size(); ++f) {
            if (!cameras_[i].fields[f].needed())
                p.fields[f].outcome = FieldOutcome::Unchanged;
        }
        const bool nothingToDo = std::all_of(p.fields.begin(), p.fields.end(),
                                             [](const FieldResult& r) { return Decided(r.outcome); });
        if (!cameras_[i].found || nothingToDo)
            p.state = FleetState::Done;
    }
}

PlanRun::~PlanRun()
{
    cancel();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        watchEnds_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        if (t.joinable())
            t.join();
    }
}

void PlanRun::start()
{
    size_t workers = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers = queue_.startWorkers(options_.jobs);
    }
    threads_.emplace_back([this] { watchLoop(); });
    for (size_t i = 0; i < workers; ++i)
        threads_.emplace_back([this] { work(); });
}

bool PlanRun::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, timeout, [this] { return allDone(); });
}

void PlanRun::cancel()
{
    // Stop handing out cameras before the running connections close, as the
    // upgrade batch does: a worker whose step ends at the cancel must find
    // nothing more to start.
    bool wasStopped = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasStopped = std::exchange(stopped_, true);
        for (CameraApply& p : progress_) {
            for (FieldResult& r : p.fields) {
                if (!wasStopped && !Decided(r.outcome))
                    r.outcome = FieldOutcome::Interrupted;
            }
            if (!wasStopped && p.state == FleetState::Waiting)
                p.state = FleetState::Done;
        }
    }
    cancel_.cancel();
    if (wasStopped)
        return;
    wake_.notify_all();
    changed();
}

std::vector<CameraApply> PlanRun::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

bool PlanRun::sentAnything() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

void PlanRun::work()
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
        applyTo(*index);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress_[*index].state = FleetState::Done;
            progress_[*index].step.reset();
        }
        wake_.notify_all();
        changed();
    }
    wake_.notify_all();
    changed();
}

void PlanRun::applyTo(size_t index)
{
    const CameraWork& camera = cameras_[index];
    std::string address = camera.now.ip;
    bool skipRest = false;
    for (PlanField step : kSteps) {
        const bool needed = std::any_of(camera.fields.begin(), camera.fields.end(), [&](const FieldChange& f) {
            return StepOf(f.field) == step && f.needed();
        });
        if (!needed)
            continue;
        if (skipRest || cancel_.cancelled()) {
            setFields(index, step, skipRest ? FieldOutcome::Skipped : FieldOutcome::Interrupted);
            continue;
        }
        skipRest = !applyStep(index, step, address);
    }
}

bool PlanRun::applyStep(size_t index, PlanField step, std::string& address)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_[index].step = step;
        progress_[index].permille = 0;
        sent_ = true;
    }
    setFields(index, step, FieldOutcome::Running);
    const auto onPermille = [this, index](int permille) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress_[index].permille = permille;
        }
        changed();
    };
    const ActionResult r = action_(cameras_[index], step, address, cancel_, onPermille);
    if (cancel_.cancelled()) {
        setFields(index, step, FieldOutcome::Interrupted);
        return false;
    }
    if (!r.accepted) {
        std::string why = r.message;
        if (why.empty() && r.result)
            why = "the camera replied " + std::to_string(*r.result) + ", not 1 or 2";
        setFields(index, step, FieldOutcome::Failed, why);
        return false;
    }
    std::string otherwise;
    switch (awaitReading(index, step, address, otherwise)) {
    case Readback::AsPlanned:
        setFields(index, step, FieldOutcome::Applied);
        return true;
    case Readback::Otherwise:
        setFields(index, step, FieldOutcome::Failed, "the camera answers with " + otherwise);
        return false;
    case Readback::Silent:
        setFields(index, step, FieldOutcome::NotBack);
        return false;
    case Readback::Pending:
        break;
    }
    setFields(index, step, FieldOutcome::Interrupted);
    return false;
}

Readback PlanRun::awaitReading(size_t index, PlanField step, std::string& address, std::string& otherwise)
{
    const CameraWork& camera = cameras_[index];
    const auto asPlanned = [&](const CameraReading& reading, std::string& differing) {
        for (const FieldChange& f : camera.fields) {
            if (StepOf(f.field) == step && f.needed() && FieldText(reading, f.field) != f.to) {
                differing = std::string(PlanFieldName(f.field)) + " " + FieldText(reading, f.field);
                return false;
            }
        }
        return true;
    };
    FieldReadback readback;
    const auto deadline = Clock::now() + options_.wait;
    std::unique_lock<std::mutex> lock(mutex_);
    progress_[index].permille = 1000;
    uint64_t seen = searchesStarted_;  // a search already under way may predate the restart
    bool observed = false;
    ++waiters_;
    wake_.notify_all();
    while (!stopped_) {
        wake_.wait_until(lock, deadline, [&] { return stopped_ || latestSearch_ > seen; });
        if (stopped_)
            break;
        if (latestSearch_ > seen) {
            seen = latestSearch_;
            observed = true;
            const auto found = latest_.find(camera.mac);
            if (found == latest_.end()) {
                readback.observe(false);
            } else {
                std::string differing;
                const bool planned = asPlanned(found->second, differing);
                readback.observe(true, planned, differing);
                address = found->second.ip;
            }
        }
        // At least one search after the operation, however short the wait.
        if (!readback.decided() && observed && Clock::now() >= deadline)
            readback.endWait();
        if (readback.decided())
            break;
    }
    --waiters_;
    otherwise = readback.lastValue();
    return readback.verdict();
}

void PlanRun::watchLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return watchEnds_ || (waiters_ > 0 && !stopped_); });
        if (watchEnds_)
            break;
        const uint64_t id = ++searchesStarted_;
        lock.unlock();
        std::map<std::string, CameraReading> readings = watch_.search();
        lock.lock();
        latest_ = std::move(readings);
        latestSearch_ = id;
        wake_.notify_all();
        wake_.wait_for(lock, options_.searchPause, [this] { return watchEnds_ || stopped_; });
    }
}

void PlanRun::setFields(size_t index, PlanField step, FieldOutcome outcome, const std::string& message)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const CameraWork& camera = cameras_[index];
        for (size_t f = 0; f < camera.fields.size(); ++f) {
            FieldResult& r = progress_[index].fields[f];
            if (StepOf(camera.fields[f].field) != step || !camera.fields[f].needed())
                continue;
            if (outcome != FieldOutcome::Interrupted && r.outcome == FieldOutcome::Interrupted)
                continue;  // cancel() has decided it already
            r.outcome = outcome;
            r.message = message;
        }
    }
    wake_.notify_all();
    changed();
}

bool PlanRun::allDone() const
{
    return queue_.workersEnded() && std::all_of(progress_.begin(), progress_.end(), [](const CameraApply& p) {
               return p.state == FleetState::Done;
           });
}

void PlanRun::changed()
{
    if (onChange_)
        onChange_();
}

}  // namespace orvane::fleet
