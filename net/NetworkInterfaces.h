#pragma once
// The links a search goes out on. Linux sends the limited broadcast only out
// of the interface the routing table picks (and nowhere without a default
// route), so a search names every interface itself.

#include "net/IPv4.h"

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

struct ifaddrs;

namespace orvane {

struct NetworkInterface {
    std::string name;
    unsigned index = 0;
    in_addr address{};  // its first IPv4 address: the source of the request
    in_addr netmask{};
};

// The interfaces a search sends on: up, not loopback, able to broadcast,
// with an IPv4 address; one entry per interface, in the order listed, each
// with the first IPv4 address the list gives for it.
std::vector<NetworkInterface> SelectSearchInterfaces(const ifaddrs* list);

// SelectSearchInterfaces over the machine's own list; empty when it cannot
// be read.
std::vector<NetworkInterface> ListSearchInterfaces();

// Every IPv4 address of this machine, any interface, in host byte order.
std::vector<uint32_t> ListOwnAddresses();

// An IPv4 subnet of this machine: one per address, any interface.
struct OwnSubnet {
    std::string interfaceName;
    uint32_t address = 0;  // host byte order
    uint32_t netmask = 0;
    bool holds(uint32_t other) const { return IPv4Subnet{address, netmask}.holds(other); }
};
std::vector<OwnSubnet> ListOwnSubnets();

// Whether address (host byte order) lies in one of the subnets.
bool OnOwnSubnet(uint32_t address, const std::vector<OwnSubnet>& subnets);
// Whether address lies in one of the subnets of the link named link: a
// camera there is reached without a temporary address.
bool OnLinkSubnet(const std::vector<OwnSubnet>& subnets, const std::string& link, uint32_t address);

// The interface the main routing table sends address (host byte order) out
// of, by the longest matching prefix; empty when no route holds it.
std::string RoutedInterface(uint32_t address);
// The same over the text of /proc/net/route.
std::string RoutedInterface(const std::string& routeTable, uint32_t address);

// Why a named interface cannot carry a search ("no such interface", "is
// down", ...), or an empty text when it can.
std::string WhyNotSearchInterface(const ifaddrs* list, const std::string& name);
std::string WhyNotSearchInterface(const std::string& name);

}  // namespace orvane
