// orvane-link-address, the binary itself, on a veth pair of the test's own
// network (dm0, its peer dm1 holding 10.9.0.2/24, and a permanent
// 10.9.1.1/32 on dm0): every argument it must refuse, and an address added,
// renewed and removed, also through HelperAddressChanger for a temporary
// address. Runs as root.

#include "process/ChildProcess.h"
#include "net/HelperAddressChanger.h"
#include "net/NetlinkAddressChanger.h"
#include "net/TemporaryAddress.h"

#include <net/if.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace orvane {
namespace {

constexpr uint32_t A(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

ChildOutcome Helper(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), LINK_ADDRESS_HELPER);
    return RunChild(arguments);
}

std::optional<uint32_t> OnDm0(uint32_t address) { return HostAddressLifetime(::if_nametoindex("dm0"), address); }

TEST(LinkAddressHelper, RefusesEveryArgumentItDoesNotAccept)
{
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"flush", "dm0"},
        {"add"},
        {"add", "nosuch0", "10.9.0.200", "60"},
        {"add", "", "10.9.0.200", "60"},
        {"add", "dm0", "8.8.8.8", "60"},
        {"add", "dm0", "192.0.2.9", "60"},
        {"add", "dm0", "172.32.0.1", "60"},
        {"add", "dm0", "192.169.0.1", "60"},
        {"add", "dm0", "10.9.0", "60"},
        {"add", "dm0", "10.9.0.200/24", "60"},
        {"add", "dm0", "10.9.0.200", "0"},
        {"add", "dm0", "10.9.0.200", "121"},
        {"add", "dm0", "10.9.0.200", "-5"},
        {"add", "dm0", "10.9.0.200", "60s"},
        {"add", "dm0", "10.9.0.200"},
        {"add", "dm0", "10.9.0.200", "60", "extra"},
        {"renew", "dm0", "10.9.0.200", "121"},
        {"remove", "dm0", "10.9.0.200", "60"},
        {"remove", "dm0", "8.8.8.8"},
    };
    for (const std::vector<std::string>& arguments : refused) {
        std::string shown;
        for (const std::string& a : arguments)
            shown += "'" + a + "' ";
        const ChildOutcome outcome = Helper(arguments);
        EXPECT_EQ(outcome.exitCode, kHelperRefused) << shown;
        EXPECT_EQ(std::count(outcome.errorText.begin(), outcome.errorText.end(), '\n'), 1) << shown << outcome.errorText;
        EXPECT_EQ(outcome.errorText.rfind("orvane-link-address: ", 0), 0u) << shown << outcome.errorText;
    }
    EXPECT_FALSE(OnDm0(A(10, 9, 0, 200)));
}

TEST(LinkAddressHelper, AddsRenewsAndRemovesATemporaryAddressOnly)
{
    EXPECT_EQ(Helper({"add", "dm0", "10.9.0.200", "60"}).exitCode, 0);
    const std::optional<uint32_t> lifetime = OnDm0(A(10, 9, 0, 200));
    ASSERT_TRUE(lifetime);
    EXPECT_GT(*lifetime, 0u);
    EXPECT_LE(*lifetime, 60u);
    // There already, or answered for by the peer: in use.
    EXPECT_EQ(Helper({"add", "dm0", "10.9.0.200", "60"}).exitCode, kHelperInUse);
    EXPECT_EQ(Helper({"add", "dm0", "10.9.0.2", "60"}).exitCode, kHelperInUse);
    EXPECT_FALSE(OnDm0(A(10, 9, 0, 2)));

    EXPECT_EQ(Helper({"renew", "dm0", "10.9.0.200", "120"}).exitCode, 0);
    EXPECT_GT(*OnDm0(A(10, 9, 0, 200)), 60u);
    EXPECT_EQ(Helper({"remove", "dm0", "10.9.0.200"}).exitCode, 0);
    EXPECT_FALSE(OnDm0(A(10, 9, 0, 200)));
    EXPECT_EQ(Helper({"remove", "dm0", "10.9.0.200"}).exitCode, kHelperFailed);

    // An address the link has for good is neither renewed nor removed.
    EXPECT_EQ(Helper({"renew", "dm0", "10.9.1.1", "60"}).exitCode, kHelperFailed);
    EXPECT_EQ(Helper({"remove", "dm0", "10.9.1.1"}).exitCode, kHelperFailed);
    EXPECT_EQ(OnDm0(A(10, 9, 1, 1)), 0xFFFFFFFFu);
}

TEST(LinkAddressHelper, CarriesATemporaryAddressForAnotherProcess)
{
    const auto helper = std::make_shared<HelperAddressChanger>(std::vector<std::string>{LINK_ADDRESS_HELPER}, false);
    {
        TemporaryAddress temporary("dm0", A(10, 9, 0, 5), helper);
        ASSERT_TRUE(temporary.ok()) << temporary.error();
        EXPECT_EQ(temporary.address(), A(10, 9, 0, 254));
        EXPECT_TRUE(OnDm0(A(10, 9, 0, 254)));
    }
    EXPECT_FALSE(OnDm0(A(10, 9, 0, 254)));
    // A helper that does not run is a failure with a reason, not a hang.
    TemporaryAddress none("dm0", A(10, 9, 0, 5),
                          std::make_shared<HelperAddressChanger>(std::vector<std::string>{"/nonexistent/helper"}, false));
    EXPECT_FALSE(none.ok());
    EXPECT_NE(none.error().find("did not run"), std::string::npos) << none.error();
}

}  // namespace
}  // namespace orvane
