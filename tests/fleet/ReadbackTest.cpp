// The outcome rules of a camera's return after an upgrade or an address
// change, as sequences of what the watch's searches saw, each ending when
// the wait is over: the read-back with the upgrade's and the address's steps.

#include "batch/Readback.h"
#include "fleet/FleetSteps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace orvane::fleet {
namespace {

using batch::Outcome;

struct Seen {
    bool answered;
    std::string ip;
    std::string version;
};
const Seen kSilent{false, {}, {}};
Seen Old() { return {true, "10.0.0.5", "V1"}; }
Seen New() { return {true, "10.0.0.5", "V2"}; }
Seen At(const char* ip) { return {true, ip, "V1"}; }

// What the engine does with each search's answer for the camera.
class Judged {
public:
    explicit Judged(batch::BatchStep step) : step_(std::move(step)), readback_(step_.settle) {}
    void observe(const Seen& s)
    {
        if (!s.answered) {
            readback_.observe(false);
            return;
        }
        if (!readback_.decided())
            version_ = s.version;
        batch::CameraReading reading;
        reading.ip = s.ip;
        reading.version = s.version;
        std::string differing;
        const bool took = step_.took(reading, differing);
        readback_.observe(true, took, differing);
    }
    bool decided() const { return readback_.decided(); }
    Outcome outcome() const { return batch::OutcomeOf(step_, readback_.verdict()); }
    void endWait() { readback_.endWait(); }
    const std::optional<std::string>& version() const { return version_; }

private:
    batch::BatchStep step_;
    batch::Readback readback_;
    std::optional<std::string> version_;
};

Outcome Judge(const batch::BatchStep& step, const std::vector<Seen>& searches,
              std::optional<std::string>* version = nullptr)
{
    Judged c(step);
    for (const Seen& s : searches)
        c.observe(s);
    c.endWait();
    if (version)
        *version = c.version();
    return c.outcome();
}

TEST(Readback, UpgradeOutcomes)
{
    const struct {
        std::vector<Seen> searches;
        Outcome outcome;
    } cases[] = {
        {{kSilent, kSilent, New()}, Outcome::Upgraded},
        {{New()}, Outcome::Upgraded},                      // restarted between two searches
        {{Old(), kSilent, Old()}, Outcome::Unchanged},     // came back with the old version
        {{Old(), Old(), Old()}, Outcome::Unchanged},       // never went away: still old at the end
        {{Old(), kSilent, kSilent}, Outcome::NotBack},
        {{kSilent}, Outcome::NotBack},
        {{}, Outcome::NotBack},
        {{kSilent, Old(), kSilent}, Outcome::Unchanged},   // decided when it came back
        {{Old(), kSilent, New(), kSilent}, Outcome::Upgraded},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Judge(UpgradeStep("", "V1"), cases[i].searches), cases[i].outcome) << "case " << i;
}

TEST(Readback, AnUpgradeIsDecidedAsSoonAsItIsSeenAndKeepsTheVersion)
{
    Judged c(UpgradeStep("", "V1"));
    c.observe(kSilent);
    EXPECT_FALSE(c.decided());
    c.observe(Old());
    EXPECT_TRUE(c.decided());
    EXPECT_EQ(c.outcome(), Outcome::Unchanged);
    c.observe(New());  // too late to change its mind
    EXPECT_EQ(c.outcome(), Outcome::Unchanged);
    std::optional<std::string> version;
    EXPECT_EQ(Judge(UpgradeStep("", "V1"), {kSilent, New()}, &version), Outcome::Upgraded);
    EXPECT_EQ(version, "V2");
}

TEST(Readback, AddressOutcomes)
{
    EXPECT_EQ(Judge(AddressStep("10.0.0.9"), {kSilent, At("10.0.0.9")}), Outcome::Moved);
    EXPECT_EQ(Judge(AddressStep("10.0.0.9"), {At("10.0.0.5"), At("10.0.0.5")}), Outcome::NotBack);
    EXPECT_EQ(Judge(AddressStep("10.0.0.9"), {At("10.0.0.5"), kSilent}), Outcome::NotBack);
    EXPECT_EQ(Judge(AddressStep("10.0.0.9"), {}), Outcome::NotBack);
}

}  // namespace
}  // namespace orvane::fleet
