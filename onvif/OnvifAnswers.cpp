#include "onvif/OnvifAnswers.h"

#include "onvif/OnvifNamespaces.h"
#include "onvif/SoapAnswer.h"

#include <charconv>
#include <cstring>

namespace onvif {

namespace {

// The failure the answer itself carries, or BadAnswer when it is sound but
// not the answer asked for.
Failure Response(const SoapAnswer& answer, const char* service, const char* name, pugi::xml_node& response)
{
    if (answer.failure() != Failure::None)
        return answer.failure();
    response = answer.response(service, name);
    return response ? Failure::None : Failure::BadAnswer;
}

bool ReadNumber(pugi::xml_node node, int low, int high, int& value)
{
    const char* text = node.text().get();
    const char* end = text + std::strlen(text);
    int number = 0;
    const auto [stop, error] = std::from_chars(text, end, number);
    if (error != std::errc() || stop != end || number < low || number > high)
        return false;
    value = number;
    return true;
}

bool ReadField(pugi::xml_node node, std::string& value)
{
    const char* text = node.text().get();
    const size_t length = std::strlen(text);
    if (length == 0 || length > kMaxFieldBytes)
        return false;
    value.assign(text, length);
    return true;
}

// A profile's fields; false when it has no usable video encoder.
bool ReadProfile(pugi::xml_node node, VideoProfile& profile)
{
    const char* token = node.attribute("token").value();
    if (*token == '\0' || std::strlen(token) > kMaxFieldBytes)
        return false;
    profile.token = token;
    ReadField(Child(node, "Name"), profile.name);
    const pugi::xml_node encoder = Child(node, "VideoEncoderConfiguration");
    if (!encoder || !ReadField(Child(encoder, "Encoding"), profile.encoding))
        return false;
    const pugi::xml_node resolution = Child(encoder, "Resolution");
    if (!ReadNumber(Child(resolution, "Width"), 1, 65535, profile.width) ||
        !ReadNumber(Child(resolution, "Height"), 1, 65535, profile.height))
        return false;
    ReadNumber(Path(encoder, {"RateControl", "FrameRateLimit"}), 1, 1000, profile.frame_rate);
    return true;
}

Failure ReadMediaUri(const SoapAnswer& answer, const char* name, std::string& uri)
{
    pugi::xml_node response;
    const Failure failure = Response(answer, ns::kMedia, name, response);
    if (failure != Failure::None)
        return failure;
    return ReadField(Path(response, {"MediaUri", "Uri"}), uri) ? Failure::None : Failure::BadAnswer;
}

}  // namespace

Failure ReadSystemDateAndTime(const SoapAnswer& answer, UtcTime& utc)
{
    pugi::xml_node response;
    const Failure failure = Response(answer, ns::kDevice, "GetSystemDateAndTimeResponse", response);
    if (failure != Failure::None)
        return failure;
    const pugi::xml_node when = Path(response, {"SystemDateAndTime", "UTCDateTime"});
    const pugi::xml_node date = Child(when, "Date");
    const pugi::xml_node time = Child(when, "Time");
    UtcTime read;
    const bool sound = ReadNumber(Child(date, "Year"), 1970, 9999, read.year) &&
                       ReadNumber(Child(date, "Month"), 1, 12, read.month) &&
                       ReadNumber(Child(date, "Day"), 1, 31, read.day) &&
                       ReadNumber(Child(time, "Hour"), 0, 23, read.hour) &&
                       ReadNumber(Child(time, "Minute"), 0, 59, read.minute) &&
                       ReadNumber(Child(time, "Second"), 0, 60, read.second);
    if (!sound)
        return Failure::BadAnswer;
    utc = read;
    return Failure::None;
}

Failure ReadCapabilitiesMediaAddress(const SoapAnswer& answer, std::string& address)
{
    pugi::xml_node response;
    const Failure failure = Response(answer, ns::kDevice, "GetCapabilitiesResponse", response);
    if (failure != Failure::None)
        return failure;
    return ReadField(Path(response, {"Capabilities", "Media", "XAddr"}), address) ? Failure::None
                                                                                  : Failure::BadAnswer;
}

Failure ReadServicesMediaAddress(const SoapAnswer& answer, std::string& address)
{
    pugi::xml_node response;
    const Failure failure = Response(answer, ns::kDevice, "GetServicesResponse", response);
    if (failure != Failure::None)
        return failure;
    for (pugi::xml_node service = response.first_child(); service; service = service.next_sibling()) {
        if (std::strcmp(LocalName(service.name()), "Service") == 0 &&
            std::strcmp(Child(service, "Namespace").text().get(), ns::kMedia) == 0)
            return ReadField(Child(service, "XAddr"), address) ? Failure::None : Failure::BadAnswer;
    }
    return Failure::BadAnswer;
}

Failure ReadDeviceInformation(const SoapAnswer& answer, DeviceInformation& information)
{
    pugi::xml_node response;
    const Failure failure = Response(answer, ns::kDevice, "GetDeviceInformationResponse", response);
    if (failure != Failure::None)
        return failure;
    DeviceInformation read;
    ReadField(Child(response, "Manufacturer"), read.manufacturer);
    ReadField(Child(response, "Model"), read.model);
    ReadField(Child(response, "FirmwareVersion"), read.firmware_version);
    ReadField(Child(response, "SerialNumber"), read.serial_number);
    information = read;
    return Failure::None;
}

Failure ReadProfiles(const SoapAnswer& answer, std::vector<VideoProfile>& profiles)
{
    pugi::xml_node response;
    const Failure failure = Response(answer, ns::kMedia, "GetProfilesResponse", response);
    if (failure != Failure::None)
        return failure;
    std::vector<VideoProfile> read;
    for (pugi::xml_node node = response.first_child(); node && read.size() < kMaxProfiles;
         node = node.next_sibling()) {
        VideoProfile profile;
        if (std::strcmp(LocalName(node.name()), "Profiles") == 0 && ReadProfile(node, profile))
            read.push_back(profile);
    }
    if (read.empty())
        return Failure::BadAnswer;
    profiles = std::move(read);
    return Failure::None;
}

Failure ReadStreamUri(const SoapAnswer& answer, std::string& uri)
{
    return ReadMediaUri(answer, "GetStreamUriResponse", uri);
}

Failure ReadSnapshotUri(const SoapAnswer& answer, std::string& uri)
{
    return ReadMediaUri(answer, "GetSnapshotUriResponse", uri);
}

Failure ReadProfilesText(const std::string& text, std::vector<VideoProfile>& profiles)
{
    const SoapAnswer answer(text);
    return ReadProfiles(answer, profiles);
}

}  // namespace onvif
