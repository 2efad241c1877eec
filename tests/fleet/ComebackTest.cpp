// The outcome rules of a camera's return, as sequences of what the watch's
// searches saw, each ending when the wait is over.

#include "fleet/Comeback.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace orvane::fleet {
namespace {

struct Seen {
    bool answered;
    std::string ip;
    std::string version;
};
const Seen kSilent{false, {}, {}};
Seen Old() { return {true, "10.0.0.5", "V1"}; }
Seen New() { return {true, "10.0.0.5", "V2"}; }
Seen At(const char* ip) { return {true, ip, "V1"}; }

Outcome Judge(ComebackKind kind, const std::vector<Seen>& searches, std::optional<std::string>* version = nullptr)
{
    Comeback c(kind, "V1", "10.0.0.9");
    for (const Seen& s : searches)
        c.observe(s.answered, s.ip, s.version);
    c.endWait();
    if (version)
        *version = c.lastVersion();
    return c.outcome();
}

TEST(Comeback, UpgradeOutcomes)
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
        EXPECT_EQ(Judge(ComebackKind::Upgrade, cases[i].searches), cases[i].outcome) << "case " << i;
}

TEST(Comeback, AnUpgradeIsDecidedAsSoonAsItIsSeenAndKeepsTheVersion)
{
    Comeback c(ComebackKind::Upgrade, "V1", {});
    c.observe(false);
    EXPECT_FALSE(c.decided());
    c.observe(true, "10.0.0.5", "V1");
    EXPECT_TRUE(c.decided());
    EXPECT_EQ(c.outcome(), Outcome::Unchanged);
    c.observe(true, "10.0.0.5", "V2");  // too late to change its mind
    EXPECT_EQ(c.outcome(), Outcome::Unchanged);
    std::optional<std::string> version;
    EXPECT_EQ(Judge(ComebackKind::Upgrade, {kSilent, New()}, &version), Outcome::Upgraded);
    EXPECT_EQ(version, "V2");
}

TEST(Comeback, AddressOutcomes)
{
    EXPECT_EQ(Judge(ComebackKind::Address, {kSilent, At("10.0.0.9")}), Outcome::Moved);
    EXPECT_EQ(Judge(ComebackKind::Address, {At("10.0.0.5"), At("10.0.0.5")}), Outcome::NotBack);
    EXPECT_EQ(Judge(ComebackKind::Address, {At("10.0.0.5"), kSilent}), Outcome::NotBack);
    EXPECT_EQ(Judge(ComebackKind::Address, {}), Outcome::NotBack);
}

}  // namespace
}  // namespace orvane::fleet
