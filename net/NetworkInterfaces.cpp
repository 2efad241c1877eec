#include "net/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <memory>

namespace orvane {
namespace {

bool IsIPv4(const ifaddrs* entry) { return entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET; }

bool CanCarrySearch(const ifaddrs* entry)
{
    const unsigned flags = entry->ifa_flags;
    return IsIPv4(entry) && (flags & IFF_UP) && !(flags & IFF_LOOPBACK) && (flags & IFF_BROADCAST);
}

in_addr AddressOf(const sockaddr* address)
{
    if (address == nullptr || address->sa_family != AF_INET)
        return in_addr{};
    return reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
}

struct FreeIfAddrs {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};
using IfAddrsList = std::unique_ptr<ifaddrs, FreeIfAddrs>;

IfAddrsList ReadMachineList()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return nullptr;
    return IfAddrsList(list);
}

}  // namespace

std::vector<NetworkInterface> SelectSearchInterfaces(const ifaddrs* list)
{
    std::vector<NetworkInterface> chosen;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (!CanCarrySearch(entry) || entry->ifa_name == nullptr)
            continue;
        const std::string name = entry->ifa_name;
        const bool listed = std::any_of(chosen.begin(), chosen.end(),
                                        [&](const NetworkInterface& i) { return i.name == name; });
        if (listed)
            continue;
        NetworkInterface found;
        found.name = name;
        found.index = ::if_nametoindex(entry->ifa_name);
        found.address = AddressOf(entry->ifa_addr);
        found.netmask = AddressOf(entry->ifa_netmask);
        chosen.push_back(found);
    }
    return chosen;
}

std::vector<NetworkInterface> ListSearchInterfaces()
{
    IfAddrsList list = ReadMachineList();
    return SelectSearchInterfaces(list.get());
}

std::vector<uint32_t> ListOwnAddresses()
{
    IfAddrsList list = ReadMachineList();
    std::vector<uint32_t> own;
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (IsIPv4(entry))
            own.push_back(ntohl(AddressOf(entry->ifa_addr).s_addr));
    }
    return own;
}

std::vector<OwnSubnet> ListOwnSubnets()
{
    IfAddrsList list = ReadMachineList();
    std::vector<OwnSubnet> subnets;
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (!IsIPv4(entry) || entry->ifa_netmask == nullptr)
            continue;
        subnets.push_back({entry->ifa_name != nullptr ? entry->ifa_name : "", ntohl(AddressOf(entry->ifa_addr).s_addr),
                           ntohl(AddressOf(entry->ifa_netmask).s_addr)});
    }
    return subnets;
}

bool OnOwnSubnet(uint32_t address, const std::vector<OwnSubnet>& subnets)
{
    return std::any_of(subnets.begin(), subnets.end(), [address](const OwnSubnet& s) { return s.holds(address); });
}

bool OnLinkSubnet(const std::vector<OwnSubnet>& subnets, const std::string& link, uint32_t address)
{
    return std::any_of(subnets.begin(), subnets.end(),
                       [&](const OwnSubnet& s) { return s.interfaceName == link && s.holds(address); });
}

std::string RoutedInterface(const std::string& routeTable, uint32_t address)
{
    std::istringstream lines(routeTable);
    std::string line;
    std::getline(lines, line);  // header
    std::string best;
    int bestPrefix = -1;
    long bestMetric = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, flags, refs, use, metric, mask;
        if (!(fields >> name >> destination >> gateway >> flags >> refs >> use >> metric >> mask))
            continue;
        // The table is in the kernel's byte order: network order read as a little-endian number.
        const uint32_t net = ntohl(static_cast<uint32_t>(std::stoul(destination, nullptr, 16)));
        const uint32_t netmask = ntohl(static_cast<uint32_t>(std::stoul(mask, nullptr, 16)));
        const bool up = std::stoul(flags, nullptr, 16) & 1u;  // RTF_UP
        const int prefix = IPv4Subnet{net, netmask}.prefix();
        const long cost = std::stol(metric);
        if (!up || (address & netmask) != net)
            continue;
        if (prefix > bestPrefix || (prefix == bestPrefix && cost < bestMetric)) {
            best = name;
            bestPrefix = prefix;
            bestMetric = cost;
        }
    }
    return best;
}

std::string RoutedInterface(uint32_t address)
{
    std::ifstream table("/proc/net/route");
    std::stringstream text;
    text << table.rdbuf();
    return RoutedInterface(text.str(), address);
}

std::string WhyNotSearchInterface(const ifaddrs* list, const std::string& name)
{
    bool known = false;
    bool up = false;
    bool loopback = false;
    bool broadcast = false;
    bool ipv4 = false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || name != entry->ifa_name)
            continue;
        known = true;
        up = up || (entry->ifa_flags & IFF_UP);
        loopback = loopback || (entry->ifa_flags & IFF_LOOPBACK);
        broadcast = broadcast || (entry->ifa_flags & IFF_BROADCAST);
        ipv4 = ipv4 || IsIPv4(entry);
    }
    if (!known)
        return "no such interface";
    if (!up)
        return "is down";
    if (loopback)
        return "is the loopback interface";
    if (!broadcast)
        return "cannot broadcast";
    if (!ipv4)
        return "has no IPv4 address";
    return "";
}

std::string WhyNotSearchInterface(const std::string& name)
{
    IfAddrsList list = ReadMachineList();
    return WhyNotSearchInterface(list.get(), name);
}

}  // namespace orvane
