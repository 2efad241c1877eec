#include "vidra/StreamLocator.h"

#include "onvif/StreamLookup.h"
#include "vidra/StreamUrl.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

namespace vidra {
namespace {

struct Learned {
    std::mutex mutex;
    // address, main or sub, user: the same camera may show other profiles
    // to another user.
    std::map<std::tuple<std::string, onvif::StreamKind, std::string>, LocatedStream> streams;
};

Learned& LearnedStreams()
{
    static Learned learned;
    return learned;
}

// A failure that says the camera has no ONVIF service to ask, rather than
// one that refused or broke.
bool WithoutOnvif(onvif::Failure failure)
{
    return failure == onvif::Failure::NoService || failure == onvif::Failure::Timeout;
}

}  // namespace

LocatedStream LocateStream(const std::string& address, int stream, const onvif::Credentials& login)
{
    const char* pattern = std::getenv("VIDRA_URL");
    if (pattern != nullptr && *pattern != '\0') {
        LocatedStream located;
        located.url = ExpandUrlPattern(pattern, address, stream);
        located.source = UrlSource::Environment;
        return located;
    }
    const onvif::StreamKind kind = onvif::KindOfStream(stream);
    const auto key = std::make_tuple(address, kind, login.user);
    Learned& learned = LearnedStreams();
    {
        std::lock_guard<std::mutex> lock(learned.mutex);
        const auto known = learned.streams.find(key);
        if (known != learned.streams.end())
            return known->second;
    }
    const onvif::StreamLookupResult lookup = onvif::LookUpMedia(address, login, kind, onvif::MediaKind::Stream);
    LocatedStream located;
    if (lookup.failure == onvif::Failure::None) {
        located.url = lookup.uri;
        located.source = UrlSource::Onvif;
        located.encoding = lookup.profile.encoding;
    } else if (WithoutOnvif(lookup.failure)) {
        located.url = ExpandUrlPattern(kDefaultUrlPattern, address, stream);
        located.source = UrlSource::Pattern;
    } else {
        located.failure = lookup.failure;
        located.detail = lookup.detail;
        located.source = UrlSource::Onvif;
        return located;  // a refused login is asked again next time
    }
    std::lock_guard<std::mutex> lock(learned.mutex);
    learned.streams[key] = located;
    return located;
}

void ForgetLocatedStreams()
{
    Learned& learned = LearnedStreams();
    std::lock_guard<std::mutex> lock(learned.mutex);
    learned.streams.clear();
}

}  // namespace vidra
