// Taking a new address beside an old one, as a simulated camera does after
// an address change. Runs in a network namespace of its own (see
// CMakeLists.txt): sv0 holds 192.0.2.1/24 and 198.51.100.1/28.

#include "net/Socket.h"
#include "tools/ipc-sim/LinkAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <string>

namespace orvane::sim {
namespace {

// "IFACE/PREFIX" of the interface holding dotted, or "".
std::string Holder(const std::string& dotted)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return "";
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    const in_addr_t wanted = ::inet_addr(dotted.c_str());
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr != wanted)
            continue;
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        return std::string(entry->ifa_name) + "/" + std::to_string(std::popcount(mask->sin_addr.s_addr));
    }
    return "";
}

TEST(LinkAddress, AddsOnTheOldAddressesLinkWithItsPrefix)
{
    std::string error;
    ASSERT_TRUE(AddAddressBeside("192.0.2.1", "192.0.2.77", error)) << error;
    EXPECT_EQ(Holder("192.0.2.77"), "sv0/24");
    ASSERT_TRUE(AddAddressBeside("198.51.100.1", "198.51.100.9", error)) << error;
    EXPECT_EQ(Holder("198.51.100.9"), "sv0/28");
    // Usable at once: a command port can listen there.
    Socket listener = Socket::tcp();
    EXPECT_TRUE(listener.bindTo(MakeAddress("192.0.2.77", 16101)));
    // Held already: nothing to do, and no failure.
    EXPECT_TRUE(AddAddressBeside("192.0.2.1", "192.0.2.77", error)) << error;
}

TEST(LinkAddress, NeedsAnOldAddressThisHostHolds)
{
    std::string error;
    EXPECT_FALSE(AddAddressBeside("192.0.2.200", "192.0.2.78", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(AddAddressBeside("192.0.2.1", "192.0.2.", error));
    EXPECT_EQ(Holder("192.0.2.78"), "");
}

TEST(LinkAddress, OnlySingleHostAddressesCanBeTaken)
{
    for (const char* good : {"10.77.0.60", "192.0.2.1", "223.255.255.254", "1.0.0.0"})
        EXPECT_TRUE(IsUnicastAddress(good)) << good;
    for (const char* bad : {"255.255.255.255", "0.0.0.0", "0.1.2.3", "127.0.0.1", "224.0.0.1", "240.0.0.1",
                            "10.77.0", "10.77.0.256", "", "(null)"})
        EXPECT_FALSE(IsUnicastAddress(bad)) << bad;
}

}  // namespace
}  // namespace orvane::sim
