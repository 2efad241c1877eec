#include "batch/Readback.h"

namespace orvane::batch {

void Readback::observe(bool answered, bool took, const std::string& value)
{
    if (decided())
        return;
    answering_ = answered;
    if (!answered) {
        wentSilent_ = true;
        return;
    }
    if (took) {
        verdict_ = Verdict::Took;
        return;
    }
    lastValue_ = value;
    if (wentSilent_ && settle_ == Settle::OtherwiseAfterSilence)
        verdict_ = Verdict::Otherwise;
}

void Readback::endWait()
{
    if (decided())
        return;
    verdict_ = answering_ && settle_ == Settle::OtherwiseAfterSilence ? Verdict::Otherwise : Verdict::Silent;
}

}  // namespace orvane::batch
