#include "tools/ipc-sim/CommandPort.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace orvane::sim {
namespace {

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool LowerHex(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

bool ParseUploadHeader(const std::string& text, UploadHeader& header)
{
    // "#K&" + at least one digit + "&" + 16 + "#"
    if (text.size() < 22 || text.front() != '#' || text.back() != '#')
        return false;
    if ((text[1] != '2' && text[1] != '4' && text[1] != '6') || text[2] != '&')
        return false;
    size_t secondAmp = text.find('&', 3);
    if (secondAmp == std::string::npos)
        return false;
    std::string size = text.substr(3, secondAmp - 3);
    std::string digest = text.substr(secondAmp + 1, text.size() - secondAmp - 2);
    if (!AllDigits(size) || size.size() > 10 || digest.size() != 16 || !LowerHex(digest))
        return false;
    long long value = std::stoll(size);
    if (value > 2147483647LL)
        return false;
    header.kind = text[1] - '0';
    header.size = value;
    header.digest = digest;
    return true;
}

std::string EscapeForLog(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

std::string AddressChangeIn(const std::string& text)
{
    const std::string prefix = "#3&1&";
    if (text.size() <= prefix.size() + 1 || text.compare(0, prefix.size(), prefix) != 0 || text.back() != '#')
        return "";
    return text.substr(prefix.size(), text.size() - prefix.size() - 1);
}

bool SettingIn(const std::string& text, SettingChange& change)
{
    if (text.size() < 7 || text.compare(0, 3, "#3&") != 0 || text[4] != '&' || text.back() != '#')
        return false;
    const std::string field = text.substr(5, text.size() - 6);
    switch (text[3]) {
    case '4':
        change.uid = field;
        return true;
    case '3':
        change.xy = field;
        return true;
    case '5':
        change.keyId = static_cast<int32_t>(std::atoi(field.c_str()));
        return true;
    default:
        return false;
    }
}

bool UpgradeAccepted(const UploadHeader& header, bool whole, const std::string& reply)
{
    const int result = std::atoi(reply.c_str());
    return (header.kind == 2 || header.kind == 4) && whole && (result == 1 || result == 2);
}

}  // namespace orvane::sim
