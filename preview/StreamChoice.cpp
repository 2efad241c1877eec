#include "preview/StreamChoice.h"

#include <cstring>

namespace orvane {

int16_t StreamForLink(const char* version, LinkQuality quality)
{
    const bool oldNumbering = version != nullptr && *version != '\0' && std::strstr(version, "2.4.") != nullptr;
    if (quality == LinkQuality::k1080P)
        return oldNumbering ? 0 : 4;
    return oldNumbering ? 1 : 5;
}

}  // namespace orvane
