#include "fleet/Comeback.h"

#include <utility>

namespace orvane::fleet {

Comeback::Comeback(ComebackKind kind, std::string oldVersion, std::string newIp)
    : kind_(kind), oldVersion_(std::move(oldVersion)), newIp_(std::move(newIp))
{
}

void Comeback::observe(bool answered, const std::string& ip, const std::string& version)
{
    if (decided())
        return;
    if (!answered) {
        wentSilent_ = true;
        answeredSinceSilence_ = false;
        return;
    }
    lastVersion_ = version;
    answeredSinceSilence_ = wentSilent_;
    if (kind_ == ComebackKind::Address) {
        if (ip == newIp_)
            outcome_ = Outcome::Moved;
        return;
    }
    if (version != oldVersion_)
        outcome_ = Outcome::Upgraded;
    else if (wentSilent_)
        outcome_ = Outcome::Unchanged;
}

void Comeback::endWait()
{
    if (decided())
        return;
    // Still answering with the old version, never having gone away: the
    // upgrade did not take. Silent at the end: it did not come back.
    const bool answering = lastVersion_.has_value() && (!wentSilent_ || answeredSinceSilence_);
    outcome_ = kind_ == ComebackKind::Upgrade && answering ? Outcome::Unchanged : Outcome::NotBack;
}

}  // namespace orvane::fleet
