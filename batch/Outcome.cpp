#include "batch/Outcome.h"

namespace orvane::batch {

const char* OutcomeWord(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pending: return "pending";
    case Outcome::Running: return "running";
    case Outcome::Upgraded: return "upgraded";
    case Outcome::Moved: return "moved";
    case Outcome::Applied: return "applied";
    case Outcome::Unchanged: return "unchanged";
    case Outcome::NotBack: return "not-back";
    case Outcome::Refused: return "refused";
    case Outcome::Failed: return "failed";
    case Outcome::Skipped: return "skipped";
    case Outcome::NotFound: return "not-found";
    case Outcome::Interrupted: return "interrupted";
    }
    return "pending";
}

bool Decided(Outcome outcome) { return outcome != Outcome::Pending && outcome != Outcome::Running; }

}  // namespace orvane::batch
