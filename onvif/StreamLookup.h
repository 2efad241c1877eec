#pragma once
// From a camera's address to the URI of the stream (or snapshot) a stream
// number plays: connect, the profiles, the choice, the URI.

#include "onvif/HttpExchange.h"
#include "onvif/OnvifTypes.h"
#include "onvif/ProfileChoice.h"

#include <string>

namespace onvif {

enum class MediaKind { Stream, Snapshot };

struct StreamLookupResult {
    Failure failure = Failure::None;
    std::string uri;  // without a login
    VideoProfile profile;
    std::string detail;
};

StreamLookupResult LookUpMedia(const std::string& camera_address, const Credentials& login, StreamKind stream,
                               MediaKind media, const HttpLimits& limits = {});

}  // namespace onvif
