// Dotted text as the search's targets, the links and the plans read it.

#include "net/IPv4.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

TEST(IPv4Text, ParsesOnlyFourDecimalParts)
{
    uint32_t a = 0;
    EXPECT_TRUE(ParseIPv4("10.77.0.11", a, LeadingZeros::Decimal));
    EXPECT_EQ(FormatIPv4(a), "10.77.0.11");
    EXPECT_TRUE(ParseIPv4("0.0.0.0", a, LeadingZeros::Decimal));
    EXPECT_EQ(a, 0u);
    for (const char* bad : {"10.77.0", "10.77.0.256", "10.77.0.1.2", "-1.2.3.4", " 1.2.3.4", "1.2.3.4 ", "1..2.3"})
        EXPECT_FALSE(ParseIPv4(bad, a, LeadingZeros::Decimal)) << bad;
}

// The two readings differ only where a part starts with a zero: inet_pton's
// (the targets, the links, the temporary addresses) refuses it, the plans'
// read it as decimal. Anything else either refuses, both alike.
TEST(IPv4Text, LeadingZerosAreRefusedOrDecimalAsAsked)
{
    struct Case {
        const char* text;
        bool refusedReads;
        bool decimalReads;
        uint32_t address;
    };
    const Case cases[] = {
        {"192.168.1.10", true, true, 0xc0a8010a},
        {"255.255.255.255", true, true, 0xffffffff},
        {"192.168.001.010", false, true, 0xc0a8010a},
        {"00.1.2.3", false, true, 0x00010203},
        {"1.2.3.0004", false, false, 0},
        {"1234.1.1.1", false, false, 0},
        {"0x0a.1.1.1", false, false, 0},
        {"10.1", false, false, 0},
        {"1.2.3.4.", false, false, 0},
        {"", false, false, 0},
    };
    for (const Case& c : cases) {
        for (const LeadingZeros zeros : {LeadingZeros::Refused, LeadingZeros::Decimal}) {
            const bool reads = zeros == LeadingZeros::Refused ? c.refusedReads : c.decimalReads;
            uint32_t a = 7;
            ASSERT_EQ(ParseIPv4(c.text, a, zeros), reads) << "'" << c.text << "' " << (reads ? "refused" : "read");
            EXPECT_EQ(a, reads ? c.address : 7u) << c.text;
        }
    }
    // A C string ends at its zero byte, as inet_pton's does; a whole text does not.
    uint32_t a = 0;
    const std::string withZero("1.2.3.4\0x", 9);
    EXPECT_TRUE(ParseIPv4(withZero.c_str(), a));
    EXPECT_FALSE(ParseIPv4(withZero, a, LeadingZeros::Decimal));
}

}  // namespace
}  // namespace orvane
