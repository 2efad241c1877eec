#include "onvif/StreamLookup.h"

#include "onvif/OnvifClient.h"

namespace onvif {

StreamLookupResult LookUpMedia(const std::string& camera_address, const Credentials& login, StreamKind stream,
                               MediaKind media, const HttpLimits& limits)
{
    StreamLookupResult result;
    OnvifClient client(camera_address, login, limits);
    std::vector<VideoProfile> profiles;
    result.failure = client.connect();
    if (result.failure == Failure::None)
        result.failure = client.getProfiles(profiles);
    if (result.failure == Failure::None) {
        result.profile = profiles[static_cast<size_t>(ChooseProfile(profiles, stream))];
        result.failure = media == MediaKind::Stream ? client.getStreamUri(result.profile.token, result.uri)
                                                    : client.getSnapshotUri(result.profile.token, result.uri);
    }
    if (result.failure != Failure::None)
        result.detail = client.detail();
    return result;
}

}  // namespace onvif
