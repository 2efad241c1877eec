#include "process/OperatorPrompt.h"

#include "platform/JobScope.h"
#include "process/StderrPrompt.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<OperatorPrompt*> installedPrompt{nullptr};
}

OperatorPrompt* InstallOperatorPrompt(OperatorPrompt* prompt) { return installedPrompt.exchange(prompt); }

OperatorPrompt* InstalledOperatorPrompt() { return installedPrompt.load(); }

OperatorPrompt& CurrentOperatorPrompt()
{
    static StderrPrompt fallback;
    const JobScope* scope = CurrentJobScope();
    OperatorPrompt* own = scope != nullptr ? scope->prompt : nullptr;
    if (OperatorPrompt* prompt = own != nullptr ? own : installedPrompt.load())
        return *prompt;
    return fallback;
}

void ShowOperatorMessage(const char* text) { CurrentOperatorPrompt().showMessage(text); }

}  // namespace orvane
