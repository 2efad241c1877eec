#pragma once
// The fields the client takes from each answer. Each returns None, or the
// answer's own failure, or BadAnswer when the answer lacks what is needed.

#include "onvif/OnvifTypes.h"

#include <string>
#include <vector>

namespace onvif {

class SoapAnswer;

// More profiles than any camera has are cut off here.
inline constexpr size_t kMaxProfiles = 32;
// A URI or a name longer than this is no camera's.
inline constexpr size_t kMaxFieldBytes = 2048;

Failure ReadSystemDateAndTime(const SoapAnswer& answer, UtcTime& utc);
Failure ReadCapabilitiesMediaAddress(const SoapAnswer& answer, std::string& address);
Failure ReadServicesMediaAddress(const SoapAnswer& answer, std::string& address);
Failure ReadDeviceInformation(const SoapAnswer& answer, DeviceInformation& information);
// Profiles without a video encoder are left out.
Failure ReadProfiles(const SoapAnswer& answer, std::vector<VideoProfile>& profiles);
Failure ReadStreamUri(const SoapAnswer& answer, std::string& uri);
Failure ReadSnapshotUri(const SoapAnswer& answer, std::string& uri);

// The answer's text read as a whole: parse, then the fields. For tests and
// the fuzz target.
Failure ReadProfilesText(const std::string& text, std::vector<VideoProfile>& profiles);

}  // namespace onvif
