// Which interfaces a search goes out on, from hand-made interface lists: the
// machine's own list is never read here.

#include "net/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace orvane {
namespace {

// A linked ifaddrs list whose entries live as long as the builder.
class InterfaceList {
public:
    InterfaceList& add(const char* name, unsigned flags, const char* ipv4 = nullptr, const char* mask = "255.255.255.0")
    {
        Entry& e = entries_.emplace_back();
        e.name = name;
        e.node.ifa_name = e.name.data();
        e.node.ifa_flags = flags;
        if (ipv4 != nullptr) {
            e.address.sin_family = AF_INET;
            inet_pton(AF_INET, ipv4, &e.address.sin_addr);
            e.mask.sin_family = AF_INET;
            inet_pton(AF_INET, mask, &e.mask.sin_addr);
            e.node.ifa_addr = reinterpret_cast<sockaddr*>(&e.address);
            e.node.ifa_netmask = reinterpret_cast<sockaddr*>(&e.mask);
        } else {
            e.link.sa_family = AF_PACKET;
            e.node.ifa_addr = &e.link;
        }
        if (entries_.size() > 1)
            entries_[entries_.size() - 2].node.ifa_next = &e.node;
        return *this;
    }
    const ifaddrs* head() const { return entries_.empty() ? nullptr : &entries_.front().node; }

private:
    struct Entry {
        std::string name;
        ifaddrs node{};
        sockaddr_in address{};
        sockaddr_in mask{};
        sockaddr link{};
    };
    std::deque<Entry> entries_;  // stable addresses as entries are added
};

constexpr unsigned kUpBroadcast = IFF_UP | IFF_BROADCAST | IFF_RUNNING;

std::vector<std::string> Names(const std::vector<NetworkInterface>& interfaces)
{
    std::vector<std::string> names;
    for (const NetworkInterface& i : interfaces)
        names.push_back(i.name);
    return names;
}

std::string Dotted(in_addr a)
{
    char text[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &a, text, sizeof text);
}

TEST(SearchInterfaces, SkipsLoopbackDownPointToPointAndAddresslessLinks)
{
    InterfaceList list;
    list.add("lo", IFF_UP | IFF_LOOPBACK | IFF_RUNNING, "127.0.0.1", "255.0.0.0")
        .add("eth0", kUpBroadcast)                    // the link entry
        .add("eth0", kUpBroadcast, "192.168.1.5")     // and its address
        .add("wlan0", IFF_BROADCAST, "10.0.0.7")      // down
        .add("tun0", IFF_UP | IFF_POINTOPOINT, "10.8.0.2", "255.255.255.255")
        .add("eth1", kUpBroadcast)                    // up without IPv4
        .add("eth2", IFF_UP | IFF_BROADCAST, "172.16.0.9", "255.255.0.0");  // up, no carrier flag needed
    const std::vector<NetworkInterface> chosen = SelectSearchInterfaces(list.head());
    EXPECT_EQ(Names(chosen), (std::vector<std::string>{"eth0", "eth2"}));
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(Dotted(chosen[1].address), "172.16.0.9");
    EXPECT_EQ(Dotted(chosen[1].netmask), "255.255.0.0");
}

TEST(SearchInterfaces, OneRequestPerInterfaceFromItsFirstAddress)
{
    InterfaceList list;
    list.add("eth0", kUpBroadcast, "192.168.1.5").add("eth0", kUpBroadcast, "192.168.0.250");
    const std::vector<NetworkInterface> chosen = SelectSearchInterfaces(list.head());
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(Dotted(chosen[0].address), "192.168.1.5");
}

TEST(SearchInterfaces, EmptyListGivesNone) { EXPECT_TRUE(SelectSearchInterfaces(nullptr).empty()); }

TEST(SearchInterfaces, SaysWhyANamedInterfaceCannotCarryASearch)
{
    InterfaceList list;
    list.add("lo", IFF_UP | IFF_LOOPBACK, "127.0.0.1")
        .add("eth0", kUpBroadcast, "192.168.1.5")
        .add("wlan0", IFF_BROADCAST, "10.0.0.7")
        .add("tun0", IFF_UP | IFF_POINTOPOINT, "10.8.0.2")
        .add("eth1", kUpBroadcast);
    const struct {
        const char* name;
        const char* why;
    } cases[] = {{"eth0", ""},
                 {"nope", "no such interface"},
                 {"wlan0", "is down"},
                 {"lo", "is the loopback interface"},
                 {"tun0", "cannot broadcast"},
                 {"eth1", "has no IPv4 address"},
                 {"", "no such interface"}};
    for (const auto& c : cases)
        EXPECT_EQ(WhyNotSearchInterface(list.head(), c.name), c.why) << c.name;
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// /proc/net/route as a laptop has it: the default route on the Wi-Fi, the
// camera link's own /16, a routed /16 through a gateway on the camera link.
TEST(RoutedInterface, TheLongestPrefixPicksTheInterface)
{
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "wlan0\t00000000\t014DA8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00004D0A\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
        "eth0\t0000500A\tFE004D0A\t0003\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
        "eth1\t0000510A\t00000000\t0000\t0\t0\t0\t0000FFFF\t0\t0\t0\n";
    const struct {
        uint32_t address;
        const char* interfaceName;
    } cases[] = {
        {0x0A4D000Bu, "eth0"},   // 10.77.0.11, on the link
        {0x0A500011u, "eth0"},   // 10.80.0.17, behind the router
        {0xC0A80140u, "wlan0"},  // 192.168.1.64, a factory address: the default route
        {0x0A510001u, "wlan0"},  // 10.81.0.1: a route that is down does not count
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoutedInterface(table, c.address), c.interfaceName) << std::hex << c.address;
    EXPECT_EQ(RoutedInterface(table.substr(0, table.find("wlan0")), 0xC0A80140u), "") << "no route at all";
}

}  // namespace
}  // namespace orvane
