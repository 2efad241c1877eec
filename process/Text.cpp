#include "process/Text.h"

#include <climits>
#include <cstring>

namespace orvane {

int ReadDecimal(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

size_t CopyBounded(char* dst, size_t dstSize, const char* src, size_t srcLimit)
{
    if (dstSize == 0)
        return 0;
    size_t length = ::strnlen(src, srcLimit);
    if (length > dstSize - 1)
        length = dstSize - 1;
    std::memcpy(dst, src, length);
    dst[length] = '\0';
    return length;
}

}  // namespace orvane
