#include "discovery/SearchTarget.h"

#include "net/IPv4.h"

#include <cctype>

namespace orvane {
namespace {

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
    uint32_t parsed = 0;
    // Only the four-part dotted form, as inet_pton takes it, never "10.1" or hex.
    if (!ParseIPv4(address.c_str(), parsed)) {
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
    target.address = parsed;
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
    return IPv4Subnet::WithPrefix(target.address, target.prefix).hosts();
}

std::string DescribeTarget(const SearchTarget& target) { return IPv4Subnet::WithPrefix(target.address, target.prefix).text(); }

}  // namespace orvane
