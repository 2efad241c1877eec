#include "app/cli/BatchLoop.h"

#include "app/cli/InterruptCatcher.h"

#include <cstdio>
#include <set>
#include <string>

namespace orvane::cli {
namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(200);

void TellAdvice(const batch::BatchRun& run)
{
    std::set<std::string> told;
    for (const batch::CameraProgress& p : run.snapshot()) {
        if (!p.advice.empty() && told.insert(p.advice).second)
            std::fprintf(stderr, "orvane-cli: %s\n", p.advice.c_str());
    }
}

}  // namespace

bool RunBatchToTheEnd(batch::BatchRun& run, const std::function<void(bool last)>& show)
{
    bool interrupted = false;
    {
        InterruptCatcher catcher;
        run.start();
        while (!run.waitFor(kLookEvery)) {
            if (catcher.requested() && !interrupted) {
                interrupted = true;
                run.cancel();
            }
            show(false);
        }
        show(true);
    }
    TellAdvice(run);
    return interrupted;
}

}  // namespace orvane::cli
