#pragma once
// A batch's work on one camera: what the first search said of it and its
// steps, each an operation after which the camera restarts and is read back
// before the next one starts. An upgrade is one step, an address assignment
// one, a site plan's row up to five.

#include "batch/CameraReading.h"
#include "batch/Outcome.h"
#include "batch/Readback.h"
#include "job/JobContext.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane::batch {

// What a step's operation did.
struct StepResult {
    bool reached = false;       // got as far as the camera's answer (or, for settings, sent)
    std::optional<int> result;  // the camera's reply, when there was one
    bool accepted = false;      // the camera took it and will restart
    std::string message;        // the operation's own message when it failed
};

struct BatchStep {
    // The operation on the camera at address, in the context the batch gives:
    // its reports move the camera's bar, its token stops it, it takes the
    // camera's path. No prompt: the batch tells the reason beside the camera.
    std::function<StepResult(const JobContext& job, const std::string& address)> run;
    // Whether a reading shows the step taken; when not, the value that differs
    // ("uid 7"). Empty: an accepted operation is the step's end.
    std::function<bool(const CameraReading& reading, std::string& differing)> took;
    Settle settle = Settle::OtherwiseAfterSilence;
    Outcome whenTook = Outcome::Applied;
    Outcome otherwise = Outcome::Failed;  // back without the change
    Outcome whenRefused = Outcome::Refused;
};

// What a step comes to once its read-back has its verdict.
Outcome OutcomeOf(const BatchStep& step, Verdict verdict);

struct BatchCamera {
    std::string ip;
    std::string mac;
    std::string version;
    std::string interfaceName;  // where its answer came in
    bool found = true;          // false: nothing is sent
    std::vector<BatchStep> steps;
};

enum class CameraState { Waiting, Working, Restarting, Done };

struct StepProgress {
    Outcome outcome = Outcome::Pending;
    std::optional<int> result;            // the camera's reply
    std::string message;                  // why it failed
    std::optional<CameraReading> reading; // the last answer after its operation
};

struct CameraProgress {
    CameraState state = CameraState::Waiting;
    std::optional<size_t> step;  // the step under way
    int permille = 0;            // of the step's upload
    std::string address;         // where the camera answers now
    std::string advice;          // what to do about a camera its path did not reach
    std::vector<StepProgress> steps;

    // The first step that did not take, else the last one's.
    Outcome outcome() const;
};

}  // namespace orvane::batch
