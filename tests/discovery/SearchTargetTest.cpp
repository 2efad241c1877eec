// Reading the networks a search asks by unicast, and the hosts each gives.

#include "discovery/SearchTarget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane {
namespace {

struct TargetCase {
    const char* text;
    bool ok;
    const char* described;  // masked, when ok
    size_t hosts;
    uint32_t first;
    uint32_t last;
};

constexpr uint32_t A(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

TEST(SearchTarget, ReadsAndExpandsTargets)
{
    const TargetCase cases[] = {
        {"10.80.0.0/24", true, "10.80.0.0/24", 254, A(10, 80, 0, 1), A(10, 80, 0, 254)},
        {"10.80.0.77/24", true, "10.80.0.0/24", 254, A(10, 80, 0, 1), A(10, 80, 0, 254)},
        {"10.80.0.0/16", true, "10.80.0.0/16", 65534, A(10, 80, 0, 1), A(10, 80, 255, 254)},
        {"10.80.0.7", true, "10.80.0.7/32", 1, A(10, 80, 0, 7), A(10, 80, 0, 7)},
        {"10.80.0.7/32", true, "10.80.0.7/32", 1, A(10, 80, 0, 7), A(10, 80, 0, 7)},
        {"10.80.0.6/31", true, "10.80.0.6/31", 2, A(10, 80, 0, 6), A(10, 80, 0, 7)},
        {"10.80.0.4/30", true, "10.80.0.4/30", 2, A(10, 80, 0, 5), A(10, 80, 0, 6)},
        {"10.80.0.0/15", false, "", 0, 0, 0},
        {"10.80.0.0/33", false, "", 0, 0, 0},
        {"10.80.0.0/", false, "", 0, 0, 0},
        {"10.80.0.0/2x", false, "", 0, 0, 0},
        {"10.80.0.0/024", false, "", 0, 0, 0},
        {"10.80.0", false, "", 0, 0, 0},
        {"256.1.1.1", false, "", 0, 0, 0},
        {"0x0a.1.1.1", false, "", 0, 0, 0},
        {"", false, "", 0, 0, 0},
        {" 10.80.0.1", false, "", 0, 0, 0},
    };
    for (const TargetCase& c : cases) {
        SearchTarget target;
        std::string why;
        ASSERT_EQ(ParseSearchTarget(c.text, target, why), c.ok) << "'" << c.text << "'";
        if (!c.ok) {
            EXPECT_NE(why.find(c.text), std::string::npos) << why;
            continue;
        }
        EXPECT_EQ(DescribeTarget(target), c.described);
        const std::vector<uint32_t> hosts = TargetHosts(target);
        ASSERT_EQ(hosts.size(), c.hosts) << c.text;
        EXPECT_EQ(hosts.front(), c.first) << c.text;
        EXPECT_EQ(hosts.back(), c.last) << c.text;
    }
}

TEST(SearchTarget, ListsAreReadWholeOrNotAtAll)
{
    struct ListCase {
        const char* text;
        bool ok;
        size_t count;
    } cases[] = {
        {"10.80.0.0/24, 10.81.0.5 ,10.82.0.0/30", true, 3},
        {"10.80.0.0/24", true, 1},
        {"10.80.0.0/24,", false, 0},
        {"10.80.0.0/24,,10.81.0.5", false, 0},
        {"10.80.0.0/24, 10.81", false, 0},
        {" ", false, 0},
    };
    for (const ListCase& c : cases) {
        std::vector<SearchTarget> targets;
        std::string why;
        EXPECT_EQ(ParseSearchTargets(c.text, targets, why), c.ok) << c.text;
        EXPECT_EQ(targets.size(), c.count) << c.text;
    }
}

}  // namespace
}  // namespace orvane
