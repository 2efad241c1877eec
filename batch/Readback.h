#pragma once
// Whether a step took, judged from the searches after its operation: done
// when the camera answers showing it. A camera may still answer for a moment
// before it restarts, so an old value seen before any silence decides
// nothing yet; once it has been silent, an answer with another value means
// it came back without the change.

#include <string>

namespace orvane::batch {

enum class Settle {
    OtherwiseAfterSilence,  // back without the change after a silence: decided
    OnlyWhenTook,           // anything but the change waits for the end (an address: the old one may linger)
};

enum class Verdict { Pending, Took, Otherwise, Silent };

class Readback {
public:
    explicit Readback(Settle settle = Settle::OtherwiseAfterSilence) : settle_(settle) {}

    // One search's word: whether the MAC answered, whether it showed the
    // step taken, and if not the value that differed.
    void observe(bool answered, bool took = false, const std::string& value = {});
    // The wait is over: a camera still answering answers otherwise (unless
    // only the change decides); one that is silent is not back.
    void endWait();

    Verdict verdict() const { return verdict_; }
    bool decided() const { return verdict_ != Verdict::Pending; }
    const std::string& lastValue() const { return lastValue_; }

private:
    Settle settle_;
    bool wentSilent_ = false;
    bool answering_ = false;
    std::string lastValue_;
    Verdict verdict_ = Verdict::Pending;
};

}  // namespace orvane::batch
