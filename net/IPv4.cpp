#include "net/IPv4.h"

#include <cstdio>

namespace orvane {

bool ParseIPv4(std::string_view text, uint32_t& address, LeadingZeros zeros)
{
    uint32_t parsed = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
        const size_t first = at;
        unsigned value = 0;
        while (at < text.size() && at - first < 3 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + static_cast<unsigned>(text[at++] - '0');
        const size_t digits = at - first;
        if (digits == 0 || value > 255 || (zeros == LeadingZeros::Refused && digits > 1 && text[first] == '0'))
            return false;
        parsed = parsed << 8 | value;
    }
    if (at != text.size())
        return false;
    address = parsed;
    return true;
}

std::string FormatIPv4(uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255u, (address >> 8) & 255u,
                  address & 255u);
    return text;
}

uint32_t PrefixMask(int prefix) { return prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix); }

std::vector<uint32_t> IPv4Subnet::hosts() const
{
    const uint32_t first = network();
    const uint32_t last = broadcast();
    std::vector<uint32_t> hosts;
    if (prefix() >= 31) {
        for (uint64_t a = first; a <= last; ++a)
            hosts.push_back(static_cast<uint32_t>(a));
        return hosts;
    }
    hosts.reserve(last - first - 1);
    for (uint32_t a = first + 1; a < last; ++a)
        hosts.push_back(a);
    return hosts;
}

std::string IPv4Subnet::text() const { return FormatIPv4(network()) + "/" + std::to_string(prefix()); }

}  // namespace orvane
