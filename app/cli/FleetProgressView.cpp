#include "app/cli/FleetProgressView.h"

#include <unistd.h>

#include <algorithm>

namespace orvane::cli {
namespace {

using batch::CameraProgress;
using batch::CameraState;
using batch::Outcome;

constexpr int kBarWidth = 30;
constexpr int kPlainEveryTicks = 10;  // at the caller's 200 ms: a line every 2 s

const char* StateWord(const CameraProgress& p)
{
    switch (p.state) {
    case CameraState::Waiting: return "waiting";
    case CameraState::Working: return "working";
    case CameraState::Restarting: return "restarting";
    case CameraState::Done: return batch::OutcomeWord(p.outcome());
    }
    return "";
}

struct Tally {
    size_t done = 0;
    size_t failed = 0;
    size_t working = 0;
    size_t restarting = 0;
};

Tally Count(const std::vector<CameraProgress>& all)
{
    Tally t;
    for (const CameraProgress& p : all) {
        t.done += p.state == CameraState::Done;
        t.working += p.state == CameraState::Working;
        t.restarting += p.state == CameraState::Restarting;
        t.failed += p.state == CameraState::Done && p.outcome() != Outcome::Upgraded && p.outcome() != Outcome::Moved;
    }
    return t;
}

}  // namespace

FleetProgressView::FleetProgressView(const char* verb, FILE* out)
    : verb_(verb), out_(out), terminal_(::isatty(::fileno(out)) == 1)
{
}

void FleetProgressView::update(const batch::BatchRun& run, bool last)
{
    const std::vector<CameraProgress> now = run.snapshot();
    told_.resize(now.size(), false);
    if (terminal_) {
        erase();
        if (!last)
            drawLive(run, now);
    } else {
        writePlain(run, now, last);
    }
    std::fflush(out_);
}

void FleetProgressView::erase()
{
    for (; linesDrawn_ > 0; --linesDrawn_)
        std::fputs("\x1b[1A\x1b[2K", out_);
}

void FleetProgressView::drawLive(const batch::BatchRun& run, const std::vector<CameraProgress>& now)
{
    for (size_t i = 0; i < now.size(); ++i) {
        const CameraProgress& p = now[i];
        if (p.state != CameraState::Working && p.state != CameraState::Restarting)
            continue;
        const int filled = std::clamp(p.permille, 0, 1000) * kBarWidth / 1000;
        char bar[kBarWidth + 1];
        for (int c = 0; c < kBarWidth; ++c)
            bar[c] = c < filled ? '#' : '.';
        bar[kBarWidth] = '\0';
        std::fprintf(out_, "%-15s [%s] %4d/1000 %s\n", run.cameras()[i].ip.c_str(), bar, p.permille, StateWord(p));
        ++linesDrawn_;
    }
    const Tally t = Count(now);
    std::fprintf(out_, "%s: %zu/%zu done, %zu without success\n", verb_, t.done, now.size(), t.failed);
    ++linesDrawn_;
}

void FleetProgressView::writePlain(const batch::BatchRun& run, const std::vector<CameraProgress>& now, bool last)
{
    for (size_t i = 0; i < now.size(); ++i) {
        if (told_[i] || now[i].state != CameraState::Done)
            continue;
        told_[i] = true;
        const batch::BatchCamera& c = run.cameras()[i];
        std::fprintf(out_, "%s %s: %s\n", verb_, (c.ip.empty() ? c.mac : c.ip).c_str(), StateWord(now[i]));
    }
    if (!last && ++ticks_ % kPlainEveryTicks != 0)
        return;
    const Tally t = Count(now);
    std::fprintf(out_, "%s: %zu/%zu done, %zu running, %zu restarting, %zu without success\n", verb_, t.done,
                 now.size(), t.working, t.restarting, t.failed);
}

}  // namespace orvane::cli
