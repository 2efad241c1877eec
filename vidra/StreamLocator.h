#pragma once
// Where a camera's stream is: VIDRA_URL, when set, wins; else the camera's
// ONVIF service names it (the profile the stream number chooses); a camera
// without one is played at the default pattern. What ONVIF taught is kept
// for the run, in memory only: the next OpenStream of that camera and
// stream asks nothing. Blocking (at most a few seconds): call it off the
// window's thread. Qt-free, for orvane-cli as well.

#include "onvif/OnvifTypes.h"

#include <string>

namespace vidra {

enum class UrlSource { Environment, Onvif, Pattern };

struct LocatedStream {
    // Without a login; empty when the camera refused the login (failure
    // NotAuthorized) or its ONVIF answer was unusable.
    std::string url;
    UrlSource source = UrlSource::Pattern;
    onvif::Failure failure = onvif::Failure::None;
    std::string detail;    // why, when failure is set
    std::string encoding;  // as the ONVIF profile names it; empty if unknown
};

LocatedStream LocateStream(const std::string& address, int stream, const onvif::Credentials& login);

// Forgets what was learned (for tests).
void ForgetLocatedStreams();

}  // namespace vidra
