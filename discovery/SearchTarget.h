#pragma once
// Networks a search also asks by unicast: a limited broadcast never crosses a
// router, so cameras on another subnet (a second VLAN, a remote building) are
// asked host by host.

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// The widest network one target may name: a /16 is 65534 requests already.
constexpr int kWidestTargetPrefix = 16;

// ADDRESS[/PREFIX], in host byte order; the address is kept as given and
// masked only when its hosts are listed.
struct SearchTarget {
    uint32_t address = 0;
    int prefix = 32;
};

// Reads "10.80.0.0/24", "10.80.0.7" (a /32) or "10.80.0.7/32". Refuses, with
// the reason in why, a text that is not a dotted-decimal address, a prefix
// outside 16 to 32, or anything after it.
bool ParseSearchTarget(const std::string& text, SearchTarget& target, std::string& why);

// Reads a comma-separated list ("10.80.0.0/24, 10.81.0.5"); blanks around
// each item are ignored, an empty item is refused.
bool ParseSearchTargets(const std::string& text, std::vector<SearchTarget>& targets, std::string& why);

// Every host address of the target, in ascending order, host byte order: the
// network and broadcast addresses are skipped, except in a /31 (two hosts,
// RFC 3021) and a /32 (the one address).
std::vector<uint32_t> TargetHosts(const SearchTarget& target);

// "10.80.0.0/24": the target as the operator would write it, masked.
std::string DescribeTarget(const SearchTarget& target);

}  // namespace orvane
