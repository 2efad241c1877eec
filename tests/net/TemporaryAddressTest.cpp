// The temporary address on a camera's link: which host of the camera's /24
// is chosen, the ARP probe on a veth pair (dm0, with 192.0.2.2 on its peer
// dm1), and an address added and removed on dm0. Runs as root on a network
// of its own.

#include "net/NetworkInterfaces.h"
#include "net/TemporaryAddress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace orvane {
namespace {

constexpr uint32_t A(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

bool OnDm0(uint32_t address)
{
    const std::vector<OwnSubnet> subnets = ListOwnSubnets();
    return std::any_of(subnets.begin(), subnets.end(),
                       [address](const OwnSubnet& s) { return s.interfaceName == "dm0" && s.address == address; });
}

TEST(TemporaryAddress, TheHighestFreeHostOfTheCamerasSlash24IsChosen)
{
    struct Case {
        uint32_t camera;
        std::vector<uint32_t> own;
        std::set<uint32_t> answering;
        std::optional<uint32_t> chosen;
    } cases[] = {
        {A(192, 168, 1, 100), {}, {}, A(192, 168, 1, 254)},
        {A(192, 168, 1, 254), {}, {}, A(192, 168, 1, 253)},
        {A(192, 168, 1, 100), {A(192, 168, 1, 254)}, {A(192, 168, 1, 253)}, A(192, 168, 1, 252)},
        // Neither the network nor the broadcast address, whatever else is taken.
        {A(10, 0, 0, 5), {}, {}, A(10, 0, 0, 254)},
        {A(10, 0, 0, 1), {}, {}, A(10, 0, 0, 254)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseTemporaryAddress(c.camera, c.own, [&c](uint32_t a) { return c.answering.count(a) > 0; }), c.chosen);
    }
    std::vector<uint32_t> probed;
    const auto none = ChooseTemporaryAddress(A(10, 0, 0, 5), {}, [&probed](uint32_t a) {
        probed.push_back(a);
        return true;
    });
    EXPECT_FALSE(none.has_value());
    ASSERT_EQ(probed.size(), 253u) << "every host but the camera, no network or broadcast address";
    EXPECT_EQ(probed.front(), A(10, 0, 0, 254));
    EXPECT_EQ(probed.back(), A(10, 0, 0, 1));
}

TEST(TemporaryAddress, TheProbeHearsAHostThatHoldsTheAddress)
{
    ASSERT_TRUE(HasNetAdmin()) << "runs as root";
    EXPECT_TRUE(AddressInUse("dm0", A(192, 0, 2, 2)));
    EXPECT_FALSE(AddressInUse("dm0", A(192, 0, 2, 9)));
    EXPECT_TRUE(AddressInUse("no-such-link", A(192, 0, 2, 9))) << "a probe that cannot be sent counts as in use";
}

TEST(TemporaryAddress, IsAddedForTheOperationAndRemovedAfter)
{
    {
        // 192.0.2.254 is free; the camera's /24 is the peer's.
        TemporaryAddress temporary("dm0", A(192, 0, 2, 2));
        ASSERT_TRUE(temporary.ok()) << temporary.error();
        EXPECT_EQ(temporary.address(), A(192, 0, 2, 254));
        EXPECT_TRUE(OnDm0(A(192, 0, 2, 254)));
        TemporaryAddress second("dm0", A(192, 0, 2, 2));
        ASSERT_TRUE(second.ok()) << second.error();
        EXPECT_EQ(second.address(), A(192, 0, 2, 253)) << "the first one's address is this machine's own now";
    }
    EXPECT_FALSE(OnDm0(A(192, 0, 2, 254)));
    EXPECT_FALSE(OnDm0(A(192, 0, 2, 253)));
    TemporaryAddress nowhere("no-such-link", A(192, 0, 2, 2));
    EXPECT_FALSE(nowhere.ok());
}

}  // namespace
}  // namespace orvane
