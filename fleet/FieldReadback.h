#pragma once
// Whether a change took, judged from the searches after its operation: done
// when the camera answers with the planned value. A camera may still answer
// for a moment before it restarts, so an old value seen before any silence
// decides nothing yet; once it has been silent, an answer with another value
// means it came back without the change.

#include <string>

namespace orvane::fleet {

enum class Readback { Pending, AsPlanned, Otherwise, Silent };

class FieldReadback {
public:
    // One search's word: whether the MAC answered, whether every changed
    // field read as planned, and if not the value that differed.
    void observe(bool answered, bool asPlanned = false, const std::string& value = {});
    // The wait is over: a camera still answering answers otherwise; one
    // that is silent is not back.
    void endWait();

    Readback verdict() const { return verdict_; }
    bool decided() const { return verdict_ != Readback::Pending; }
    const std::string& lastValue() const { return lastValue_; }

private:
    bool wentSilent_ = false;
    bool answering_ = false;
    std::string lastValue_;
    Readback verdict_ = Readback::Pending;
};

}  // namespace orvane::fleet
