#include "batch/BatchRun.h"

#include "process/JobReports.h"

#include <algorithm>
#include <utility>

namespace orvane::batch {
namespace {

using Clock = std::chrono::steady_clock;

// A step's upload progress moves its camera's bar.
class StepReports : public JobReportSink {
public:
    explicit StepReports(std::function<void(int)> onPermille) : onPermille_(std::move(onPermille)) {}
    bool deliver(const JobReport& report) override
    {
        if (report.kind == JobReport::Kind::Progress)
            onPermille_(report.permille);
        return true;
    }

private:
    std::function<void(int)> onPermille_;
};

bool TookOutcome(Outcome o) { return o == Outcome::Applied || o == Outcome::Upgraded || o == Outcome::Moved; }

}  // namespace

Outcome OutcomeOf(const BatchStep& step, Verdict verdict)
{
    switch (verdict) {
    case Verdict::Took: return step.whenTook;
    case Verdict::Otherwise: return step.otherwise;
    case Verdict::Silent: return Outcome::NotBack;
    case Verdict::Pending: break;
    }
    return Outcome::Pending;
}

Outcome CameraProgress::outcome() const
{
    if (steps.empty())
        return Outcome::Unchanged;
    for (const StepProgress& s : steps) {
        if (!TookOutcome(s.outcome))
            return s.outcome;
    }
    return steps.back().outcome;
}

BatchRun::BatchRun(std::vector<BatchCamera> cameras, BatchOptions options, ReadingWatch& watch)
    : cameras_(std::move(cameras)), options_(options), watch_(watch), progress_(cameras_.size()),
      watched_(cameras_.size()), queue_(cameras_.size())
{
    for (size_t i = 0; i < cameras_.size(); ++i) {
        CameraProgress& p = progress_[i];
        p.address = cameras_[i].ip;
        p.steps.resize(cameras_[i].steps.size());
        if (!cameras_[i].found) {
            for (StepProgress& s : p.steps)
                s.outcome = Outcome::NotFound;
        }
        if (!cameras_[i].found || p.steps.empty())
            p.state = CameraState::Done;
    }
}

BatchRun::~BatchRun()
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

void BatchRun::start()
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

bool BatchRun::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, timeout, [this] { return allDone(); });
}

void BatchRun::cancel()
{
    // Stop handing out cameras before the running connections close: a
    // worker whose step ends at the cancel must find nothing to start.
    bool wasStopped = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasStopped = std::exchange(stopped_, true);
        for (CameraProgress& p : progress_) {
            if (wasStopped)
                break;
            for (StepProgress& s : p.steps) {
                if (!Decided(s.outcome))
                    s.outcome = Outcome::Interrupted;
            }
            // Cameras not yet started, or only being watched, end here;
            // running operations end as their connections close.
            if (p.state == CameraState::Waiting || p.state == CameraState::Restarting) {
                restarting_ -= p.state == CameraState::Restarting;
                p.state = CameraState::Done;
                p.step.reset();
            }
        }
    }
    cancel_.cancel();
    if (wasStopped)
        return;
    wake_.notify_all();
    changed();
}

std::vector<CameraProgress> BatchRun::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

bool BatchRun::sentAnything() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

void BatchRun::work()
{
    const auto waiting = [this](size_t i) { return progress_[i].state == CameraState::Waiting; };
    for (;;) {
        std::optional<size_t> index;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // A camera whose restart is watched may come back for its next step.
            wake_.wait(lock, [&] { return stopped_ || queue_.ready(waiting) || !mayComeBack(); });
            index = queue_.next(stopped_, waiting);
            if (!index)
                break;
            progress_[*index].state = CameraState::Working;
        }
        changed();
        runStep(*index);
    }
    // The last worker out may be what ends the batch.
    wake_.notify_all();
    changed();
}

void BatchRun::runStep(size_t index)
{
    size_t step = 0;
    std::string address;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        CameraProgress& p = progress_[index];
        while (step < p.steps.size() && Decided(p.steps[step].outcome))
            ++step;
        if (step == p.steps.size()) {  // cancelled since it was handed out
            p.state = CameraState::Done;
            lock.unlock();
            wake_.notify_all();
            changed();
            return;
        }
        p.step = step;
        p.permille = 0;
        p.steps[step].outcome = Outcome::Running;
        address = p.address;
        sent_ = true;
    }
    changed();
    std::string advice;
    const StepResult r = runOperation(index, step, address, advice);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const BatchStep& s = cameras_[index].steps[step];
        progress_[index].steps[step].result = r.result;
        if (cancel_.cancelled()) {
            endStep(index, Outcome::Interrupted);
        } else if (!r.reached) {
            progress_[index].advice = advice;
            endStep(index, Outcome::Failed, r.message);
        } else if (!r.accepted) {
            std::string why = r.message;
            if (why.empty() && r.result)
                why = "the camera replied " + std::to_string(*r.result) + ", not 1 or 2";
            endStep(index, s.whenRefused, why);
        } else if (!s.took) {
            progress_[index].steps[step].outcome = s.whenTook;
            stepTook(index);
        } else {
            progress_[index].state = CameraState::Restarting;
            progress_[index].permille = 1000;
            watched_[index] = {Readback(s.settle), Clock::now() + options_.wait, searchesStarted_};
            ++restarting_;
        }
    }
    wake_.notify_all();
    changed();
}

StepResult BatchRun::runOperation(size_t index, size_t step, const std::string& address, std::string& advice)
{
    const BatchCamera& camera = cameras_[index];
    const CameraRoute route(camera.interfaceName, address, options_.privilege);
    StepReports reports([this, index](int permille) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress_[index].permille = permille;
        }
        changed();
    });
    const JobContext job{&reports, nullptr, &cancel_, route.path()};
    StepResult r = camera.steps[step].run(job, address);
    if (!r.reached)
        advice = route.advice();
    return r;
}

// Under the lock: the step under way ends as given, and the camera with it;
// its later steps are skipped.
void BatchRun::endStep(size_t index, Outcome outcome, std::string message)
{
    CameraProgress& p = progress_[index];
    if (p.step) {
        StepProgress& s = p.steps[*p.step];
        // cancel() may have decided it already.
        if (outcome == Outcome::Interrupted || s.outcome != Outcome::Interrupted) {
            s.outcome = outcome;
            s.message = std::move(message);
        }
    }
    for (StepProgress& s : p.steps) {
        if (!Decided(s.outcome))
            s.outcome = outcome == Outcome::Interrupted ? Outcome::Interrupted : Outcome::Skipped;
    }
    if (p.state == CameraState::Restarting)
        --restarting_;
    p.state = CameraState::Done;
    p.step.reset();
}

// Under the lock: the step under way took; the camera waits for its next
// step, or is done.
void BatchRun::stepTook(size_t index)
{
    CameraProgress& p = progress_[index];
    if (p.state == CameraState::Restarting)
        --restarting_;
    const bool more = std::any_of(p.steps.begin(), p.steps.end(), [](const StepProgress& s) { return !Decided(s.outcome); });
    p.step.reset();
    if (more && !stopped_) {
        p.state = CameraState::Waiting;
        queue_.giveBack(index);
    } else {
        p.state = CameraState::Done;
    }
}

void BatchRun::watchLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return watchEnds_ || (restarting_ > 0 && !stopped_); });
        if (watchEnds_)
            break;
        const uint64_t id = ++searchesStarted_;
        lock.unlock();
        const std::map<std::string, CameraReading> seen = watch_.search();
        lock.lock();
        observe(seen, id);
        wake_.notify_all();
        lock.unlock();
        changed();
        lock.lock();
        wake_.wait_for(lock, options_.searchPause, [this] { return watchEnds_ || stopped_; });
    }
}

// Under the lock: one search's word on every camera restarting since before it began.
void BatchRun::observe(const std::map<std::string, CameraReading>& seen, uint64_t search)
{
    const auto now = Clock::now();
    for (size_t index = 0; index < cameras_.size(); ++index) {
        CameraProgress& p = progress_[index];
        Watched& w = watched_[index];
        if (p.state != CameraState::Restarting || w.after >= search)
            continue;
        const BatchStep& step = cameras_[index].steps[*p.step];
        const auto found = seen.find(cameras_[index].mac);
        if (found == seen.end()) {
            w.readback.observe(false);
        } else {
            std::string differing;
            const bool took = step.took(found->second, differing);
            w.readback.observe(true, took, differing);
            p.address = found->second.ip;
            p.steps[*p.step].reading = found->second;
        }
        // At least one search after the operation, however short the wait.
        if (!w.readback.decided() && now >= w.deadline)
            w.readback.endWait();
        if (w.readback.decided())
            judge(index);
    }
}

// Under the lock: what the camera's read-back came to.
void BatchRun::judge(size_t index)
{
    const BatchStep& step = cameras_[index].steps[*progress_[index].step];
    const Readback& readback = watched_[index].readback;
    const Outcome outcome = OutcomeOf(step, readback.verdict());
    if (readback.verdict() == Verdict::Took) {
        progress_[index].steps[*progress_[index].step].outcome = outcome;
        stepTook(index);
    } else if (readback.decided()) {
        // A change that failed says what the camera came back with.
        endStep(index, outcome,
                outcome == Outcome::Failed ? "the camera answers with " + readback.lastValue() : std::string());
    }
}

bool BatchRun::mayComeBack() const
{
    for (const CameraProgress& p : progress_) {
        if (p.state != CameraState::Restarting || !p.step)
            continue;
        if (std::any_of(p.steps.begin() + static_cast<std::ptrdiff_t>(*p.step) + 1, p.steps.end(),
                        [](const StepProgress& s) { return !Decided(s.outcome); }))
            return true;
    }
    return false;
}

bool BatchRun::allDone() const
{
    return queue_.workersEnded() && std::all_of(progress_.begin(), progress_.end(), [](const CameraProgress& p) {
               return p.state == CameraState::Done;
           });
}

void BatchRun::changed()
{
    if (onChange_)
        onChange_();
}

}  // namespace orvane::batch
