#pragma once
// One camera of a batch and how far it has come: what the first search said
// of it, what the batch did to it, and the outcome.

#include <optional>
#include <string>

namespace orvane::fleet {

struct FleetCamera {
    std::string ip;             // as the operator named it or the search found it
    std::string mac;
    std::string oldVersion;
    std::string interfaceName;  // where its answer came in
    std::string newIp;          // address assignment only
    bool found = true;          // false: the search did not find it, nothing is sent
};

enum class FleetState { Waiting, Working, Restarting, Done };

// What happened to a camera in the end. Words for scripts in OutcomeWord.
enum class Outcome {
    Pending,
    Upgraded,     // answered with another version after its upload
    Unchanged,    // came back, or kept answering, with its old version
    NotBack,      // silent until the wait ended
    Refused,      // the camera's reply was neither 1 nor 2
    Failed,       // connection or send failure
    NotFound,     // the search did not find it: nothing was sent
    Interrupted,  // stopped by the operator
    Moved,        // answers from its new address
};

const char* OutcomeWord(Outcome outcome);

struct CameraProgress {
    FleetState state = FleetState::Waiting;
    int permille = 0;
    std::optional<int> result;             // the camera's reply, when one came
    std::optional<std::string> newVersion; // the version it came back with
    std::string message;                   // the operation's own failure text
    Outcome outcome = Outcome::Pending;
};

}  // namespace orvane::fleet
