#include "discovery/SearchTarget.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdio>

namespace orvane {
namespace {

uint32_t MaskOf(int prefix) { return prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix); }

std::string Trimmed(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    return text.substr(first, last - first);
}

bool ParsePrefix(const std::string& digits, int& prefix)
{
    if (digits.empty() || digits.size() > 2)
        return false;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    prefix = std::stoi(digits);
    return true;
}

}  // namespace

bool ParseSearchTarget(const std::string& text, SearchTarget& target, std::string& why)
{
    const size_t slash = text.find('/');
    const std::string address = text.substr(0, slash);
    in_addr parsed{};
    // inet_pton takes only the four-part dotted form, never "10.1" or hex.
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        why = "'" + text + "' is not an IPv4 address or ADDRESS/PREFIX";
        return false;
    }
    int prefix = 32;
    if (slash != std::string::npos && !ParsePrefix(text.substr(slash + 1), prefix)) {
        why = "'" + text + "' has no prefix length after '/'";
        return false;
    }
    if (prefix < kWidestTargetPrefix || prefix > 32) {
        why = "'" + text + "': the prefix must be /" + std::to_string(kWidestTargetPrefix) + " to /32";
        return false;
    }
    target.address = ntohl(parsed.s_addr);
    target.prefix = prefix;
    return true;
}

bool ParseSearchTargets(const std::string& text, std::vector<SearchTarget>& targets, std::string& why)
{
    std::vector<SearchTarget> read;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item = Trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        SearchTarget target;
        if (item.empty()) {
            why = "an empty network in the list";
            return false;
        }
        if (!ParseSearchTarget(item, target, why))
            return false;
        read.push_back(target);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    targets.insert(targets.end(), read.begin(), read.end());
    return true;
}

std::vector<uint32_t> TargetHosts(const SearchTarget& target)
{
    const uint32_t mask = MaskOf(target.prefix);
    const uint32_t network = target.address & mask;
    const uint32_t broadcast = network | ~mask;
    if (target.prefix >= 31) {
        std::vector<uint32_t> hosts;
        for (uint64_t a = network; a <= broadcast; ++a)
            hosts.push_back(static_cast<uint32_t>(a));
        return hosts;
    }
    std::vector<uint32_t> hosts;
    hosts.reserve(broadcast - network - 1);
    for (uint32_t a = network + 1; a < broadcast; ++a)
        hosts.push_back(a);
    return hosts;
}

std::string DescribeTarget(const SearchTarget& target)
{
    const uint32_t network = target.address & MaskOf(target.prefix);
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u/%d", network >> 24, (network >> 16) & 255u, (network >> 8) & 255u,
                  network & 255u, target.prefix);
    return text;
}

}  // namespace orvane
