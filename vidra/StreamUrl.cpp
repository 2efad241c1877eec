#include "vidra/StreamUrl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vidra {

const char* StreamName(int stream)
{
    return stream == 1 || stream == 5 ? "sub" : "main";
}

std::string ExpandUrlPattern(const std::string& pattern, const std::string& address, int stream)
{
    struct Placeholder {
        const char* name;
        std::string value;
    };
    const Placeholder placeholders[] = {
        {"{address}", address},
        {"{stream}", StreamName(stream)},
        {"{number}", std::to_string(stream)},
    };
    std::string url;
    size_t at = 0;
    while (at < pattern.size()) {
        bool replaced = false;
        for (const Placeholder& p : placeholders) {
            const size_t length = std::strlen(p.name);
            if (pattern.compare(at, length, p.name) == 0) {
                url += p.value;
                at += length;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            url += pattern[at++];
    }
    return url;
}

std::string UrlWithoutPassword(const std::string& url)
{
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t end = std::min(url.find_first_of("/?#", start), url.size());
    // The last '@' ends the user part: a password may itself hold one.
    const size_t at = url.rfind('@', end == 0 ? 0 : end - 1);
    if (at == std::string::npos || at < start)
        return url;
    const size_t colon = url.find(':', start);
    if (colon == std::string::npos || colon > at)
        return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

std::string StreamUrl(const std::string& address, int stream)
{
    const char* pattern = std::getenv("VIDRA_URL");
    return ExpandUrlPattern(pattern != nullptr && *pattern != '\0' ? pattern : kDefaultUrlPattern, address, stream);
}

}  // namespace vidra
