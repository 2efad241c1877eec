#include "control/SettingFields.h"

#include "control/SettingCommands.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace orvane {

bool IsMacField(const char* mac)
{
    if (std::strlen(mac) != kMacText)
        return false;
    for (const char* c = mac; *c; ++c) {
        if (!std::isxdigit(static_cast<unsigned char>(*c)))
            return false;
    }
    return true;
}

bool IsXField(int x)
{
    return x >= kMinX && x <= kMaxX;
}

bool IsYField(int y)
{
    return y >= kMinY && y <= kMaxY;
}

bool IsUidField(const char* uid)
{
    const size_t length = strnlen(uid, kMaxUidLength + 1);
    return length >= kMinUidLength && length <= kMaxUidLength;
}

bool ParseWholeInt(const char* text, int& value)
{
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    // strtol skips any white space before the number; the same goes after it.
    while (std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    if (*end != '\0')
        return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace orvane
