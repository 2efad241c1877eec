#include "fleet/FleetCamera.h"

namespace orvane::fleet {

const char* OutcomeWord(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pending: return "pending";
    case Outcome::Upgraded: return "upgraded";
    case Outcome::Unchanged: return "unchanged";
    case Outcome::NotBack: return "not-back";
    case Outcome::Refused: return "refused";
    case Outcome::Failed: return "failed";
    case Outcome::NotFound: return "not-found";
    case Outcome::Interrupted: return "interrupted";
    case Outcome::Moved: return "moved";
    }
    return "pending";
}

}  // namespace orvane::fleet
