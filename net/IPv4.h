#pragma once
// IPv4 addresses as this program reads and writes them, in host byte order,
// and the subnets they lie in: one reading of dotted text for the search's
// targets, the links' subnets, the plans and the temporary addresses. The
// camera protocol's own address fields are read as inet_addr reads them
// (MakeAddress in Socket.h), octal and short forms included; not here.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// How a part with a leading zero ("010") reads: inet_pton refuses it; an
// operator's plan and the address planner read it as decimal 10.
enum class LeadingZeros { Refused, Decimal };

// Four dotted parts of one to three decimal digits, 0 to 255 each, and
// nothing before, between or after them. A text given as a C string ends at
// its first zero byte, as inet_pton reads it.
bool ParseIPv4(std::string_view text, uint32_t& address, LeadingZeros zeros = LeadingZeros::Refused);

// "10.77.0.11", as inet_ntop writes it.
std::string FormatIPv4(uint32_t address);

// The netmask of a prefix length from 0 to 32.
uint32_t PrefixMask(int prefix);

// An address with its netmask: a link's own address, or a network the search
// asks host by host.
struct IPv4Subnet {
    uint32_t address = 0;
    uint32_t netmask = 0;

    static IPv4Subnet WithPrefix(uint32_t address, int prefix) { return {address, PrefixMask(prefix)}; }
    uint32_t network() const { return address & netmask; }
    uint32_t broadcast() const { return network() | ~netmask; }
    int prefix() const { return __builtin_popcount(netmask); }
    bool holds(uint32_t other) const { return (other & netmask) == network(); }
    // Every host address in ascending order: the network and broadcast
    // addresses are skipped, except in a /31 (two hosts, RFC 3021) and a /32.
    std::vector<uint32_t> hosts() const;
    // "10.80.0.0/24": masked, as an operator writes it.
    std::string text() const;
};

}  // namespace orvane
