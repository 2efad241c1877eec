#pragma once
// Whether a camera came back after the restart that follows an accepted
// upload or an address change, judged from the searches that watch for its
// MAC. A camera may still answer for a moment before it restarts, so an old
// version seen before any silence decides nothing yet.

#include "fleet/FleetCamera.h"

#include <optional>
#include <string>

namespace orvane::fleet {

enum class ComebackKind {
    Upgrade,  // done when it answers with a version other than its old one
    Address,  // done when it answers from its new address
};

class Comeback {
public:
    Comeback(ComebackKind kind, std::string oldVersion, std::string newIp);

    // One search's word on the camera: whether its MAC answered, from where
    // and with which version.
    void observe(bool answered, const std::string& ip = {}, const std::string& version = {});
    // The wait is over: whatever is not decided yet is decided now.
    void endWait();

    bool decided() const { return outcome_ != Outcome::Pending; }
    Outcome outcome() const { return outcome_; }
    const std::optional<std::string>& lastVersion() const { return lastVersion_; }

private:
    ComebackKind kind_;
    std::string oldVersion_;
    std::string newIp_;
    bool wentSilent_ = false;
    bool answeredSinceSilence_ = false;
    std::optional<std::string> lastVersion_;
    Outcome outcome_ = Outcome::Pending;
};

}  // namespace orvane::fleet
