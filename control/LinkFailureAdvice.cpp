#include "control/LinkFailureAdvice.h"

#include "control/FileUpload.h"
#include "control/SettingCommands.h"

#include <cstring>
#include <utility>

namespace orvane {

void LinkFailureAdvice::adviseWith(std::string line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    line_ = std::move(line);
}

void LinkFailureAdvice::showMessage(const char* text)
{
    next_.showMessage(text);
    // The settings say "Link IPC error", the firmware and list uploads "Link IPC Error".
    const bool linkError = std::strcmp(text, kLinkIpcError) == 0 || std::strcmp(text, kLinkIpcErrorUpper) == 0;
    std::lock_guard<std::mutex> lock(mutex_);
    linkFailed_ = linkFailed_ || linkError;
}

std::string LinkFailureAdvice::advice() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return linkFailed_ ? line_ : std::string();
}

}  // namespace orvane
