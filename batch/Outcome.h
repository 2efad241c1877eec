#pragma once
// What a batch's step came to, for every kind of batch: one vocabulary, and
// the words scripts read in one place.

namespace orvane::batch {

enum class Outcome {
    Pending,
    Running,      // its operation is under way, or the camera is restarting
    Upgraded,     // answered with another version after its upload
    Moved,        // answers from its new address
    Applied,      // read back as planned
    Unchanged,    // came back with its old value, or needed nothing
    NotBack,      // silent until the wait ended
    Refused,      // the camera's reply said no
    Failed,       // connection or send failure, or it came back otherwise
    Skipped,      // an earlier step of the camera did not take
    NotFound,     // the search did not find it: nothing was sent
    Interrupted,  // stopped by the operator
};

// "pending", "running", "upgraded", "moved", "applied", "unchanged",
// "not-back", "refused", "failed", "skipped", "not-found", "interrupted".
const char* OutcomeWord(Outcome outcome);

bool Decided(Outcome outcome);

}  // namespace orvane::batch
