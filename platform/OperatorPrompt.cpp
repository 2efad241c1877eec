#include "platform/OperatorPrompt.h"

#include "platform/StderrPrompt.h"

#include <atomic>

namespace orvane {
namespace {
std::atomic<OperatorPrompt*> installedPrompt{nullptr};
}

OperatorPrompt* InstallOperatorPrompt(OperatorPrompt* prompt) { return installedPrompt.exchange(prompt); }

void ShowOperatorMessage(const char* text)
{
    if (OperatorPrompt* prompt = installedPrompt.load()) {
        prompt->showMessage(text);
        return;
    }
    StderrPrompt fallback;
    fallback.showMessage(text);
}

}  // namespace orvane
