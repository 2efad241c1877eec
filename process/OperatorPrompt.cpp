#include "process/OperatorPrompt.h"

#include "process/StderrPrompt.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<OperatorPrompt*> installedPrompt{nullptr};
}

OperatorPrompt* InstallOperatorPrompt(OperatorPrompt* prompt) { return installedPrompt.exchange(prompt); }

OperatorPrompt* InstalledOperatorPrompt() { return installedPrompt.load(); }

OperatorPrompt& ProcessOperatorPrompt()
{
    static StderrPrompt fallback;
    if (OperatorPrompt* prompt = installedPrompt.load())
        return *prompt;
    return fallback;
}

void ShowOperatorMessage(const char* text) { ProcessOperatorPrompt().showMessage(text); }

}  // namespace orvane
