// Any bytes as a camera's SOAP answer, read by every answer reader: a
// failure is a Failure, never a crash; what is read is within its bounds.
#include "onvif/OnvifAnswers.h"
#include "onvif/ProfileChoice.h"
#include "onvif/SoapAnswer.h"
#include "onvif/StreamUriRepair.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace onvif;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SoapAnswer answer(text);
    std::vector<VideoProfile> profiles;
    if (ReadProfiles(answer, profiles) == Failure::None) {
        if (profiles.empty() || profiles.size() > kMaxProfiles)
            std::abort();
        for (const StreamKind kind : {StreamKind::Main, StreamKind::Sub}) {
            const int index = ChooseProfile(profiles, kind);
            if (index < 0 || static_cast<size_t>(index) >= profiles.size())
                std::abort();
        }
    }
    UtcTime utc;
    ReadSystemDateAndTime(answer, utc);
    std::string field;
    ReadCapabilitiesMediaAddress(answer, field);
    ReadServicesMediaAddress(answer, field);
    DeviceInformation information;
    ReadDeviceInformation(answer, information);
    if (ReadStreamUri(answer, field) == Failure::None) {
        if (field.size() > kMaxFieldBytes)
            std::abort();
        RepairStreamUri(field, "192.0.2.10");
        UriWithoutCredentials(field);
    }
    ReadSnapshotUri(answer, field);
    return 0;
}
