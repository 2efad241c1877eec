#include "platform/OperatorPrompt.h"

#include "platform/JobScope.h"
#include "platform/StderrPrompt.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<OperatorPrompt*> installedPrompt{nullptr};
}

OperatorPrompt* InstallOperatorPrompt(OperatorPrompt* prompt) { return installedPrompt.exchange(prompt); }

void ShowOperatorMessage(const char* text)
{
    const JobScope* scope = CurrentJobScope();
    OperatorPrompt* own = scope != nullptr ? scope->prompt : nullptr;
    if (OperatorPrompt* prompt = own != nullptr ? own : installedPrompt.load()) {
        prompt->showMessage(text);
        return;
    }
    StderrPrompt fallback;
    fallback.showMessage(text);
}

}  // namespace orvane
