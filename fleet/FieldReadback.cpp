#include "fleet/FieldReadback.h"

namespace orvane::fleet {

void FieldReadback::observe(bool answered, bool asPlanned, const std::string& value)
{
    if (decided())
        return;
    answering_ = answered;
    if (!answered) {
        wentSilent_ = true;
        return;
    }
    if (asPlanned) {
        verdict_ = Readback::AsPlanned;
        return;
    }
    lastValue_ = value;
    if (wentSilent_)
        verdict_ = Readback::Otherwise;
}

void FieldReadback::endWait()
{
    if (!decided())
        verdict_ = answering_ ? Readback::Otherwise : Readback::Silent;
}

}  // namespace orvane::fleet
