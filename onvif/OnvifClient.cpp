#include "onvif/OnvifClient.h"

#include "onvif/OnvifAnswers.h"
#include "onvif/SoapAnswer.h"
#include "onvif/SoapRequest.h"
#include "onvif/StreamUriRepair.h"
#include "onvif/UsernameToken.h"

#include <ctime>

namespace onvif {

namespace {

long long SecondsSinceEpoch(const UtcTime& utc)
{
    std::tm parts{};
    parts.tm_year = utc.year - 1900;
    parts.tm_mon = utc.month - 1;
    parts.tm_mday = utc.day;
    parts.tm_hour = utc.hour;
    parts.tm_min = utc.minute;
    parts.tm_sec = utc.second;
    return static_cast<long long>(timegm(&parts));
}

// The media service address as the camera gives it, mended like a stream
// URI: firmware often names itself by an address no one else can reach.
std::string MendServiceUrl(const std::string& url, const std::string& address)
{
    return RepairStreamUri(url, address);
}

}  // namespace

const char* FailureText(Failure failure)
{
    switch (failure) {
    case Failure::None: return "no failure";
    case Failure::NoService: return "the camera has no ONVIF service";
    case Failure::NotAuthorized: return "the camera refused the login";
    case Failure::Timeout: return "the camera did not answer in time";
    case Failure::TooLarge: return "the camera's answer is too large";
    case Failure::BadAnswer: return "the camera's answer is not a usable ONVIF answer";
    case Failure::Fault: return "the camera answered with a fault";
    }
    return "unknown failure";
}

OnvifClient::OnvifClient(std::string camera_address, Credentials login, HttpLimits limits)
    : address_(std::move(camera_address)), login_(std::move(login)), limits_(limits),
      device_url_("http://" + address_ + "/onvif/device_service")
{
}

Failure OnvifClient::fail(Failure failure, const std::string& detail)
{
    detail_ = detail.empty() ? FailureText(failure) : detail;
    return failure;
}

Failure OnvifClient::call(const std::string& url, Operation operation, const std::string& profile_token,
                          bool signed_in, std::string& answer)
{
    UsernameToken token;
    const bool with_token = signed_in && !login_.empty();
    if (with_token)
        token = MakeUsernameToken(login_.user, login_.password, clock_offset_s_);
    const std::string request = SoapRequest(operation, profile_token, with_token ? &token : nullptr);
    HttpLimits limits = limits_;
    limits.max_bytes = SoapAnswer::kMaxAnswerBytes;
    const HttpResult result =
        HttpExchange::post(url, SoapAction(operation), request, signed_in ? login_ : Credentials{}, limits);
    if (result.failure != Failure::None)
        return fail(result.failure, result.detail);
    if (result.status == 401)
        return fail(Failure::NotAuthorized, "HTTP 401");
    if (result.status == 404)
        return fail(Failure::NoService, "HTTP 404");
    // A fault comes with 400 or 500: its body says what it is.
    if (result.status != 200 && result.status != 400 && result.status != 500)
        return fail(Failure::BadAnswer, "HTTP " + std::to_string(result.status));
    answer = result.body;
    return Failure::None;
}

Failure OnvifClient::connect()
{
    std::string text;
    Failure failure = call(device_url_, Operation::GetSystemDateAndTime, {}, false, text);
    if (failure == Failure::NoService || failure == Failure::Timeout)
        return failure;
    if (failure == Failure::None) {
        const SoapAnswer answer(text);
        UtcTime utc;
        // A camera that wants a login even for its clock is asked with ours.
        if (ReadSystemDateAndTime(answer, utc) == Failure::None)
            clock_offset_s_ = SecondsSinceEpoch(utc) - static_cast<long long>(std::time(nullptr));
        else if (answer.failure() != Failure::NotAuthorized)
            return fail(Failure::NoService, "no ONVIF answer: " + answer.detail());
    }

    failure = call(device_url_, Operation::GetCapabilities, {}, true, text);
    if (failure == Failure::None) {
        const SoapAnswer answer(text);
        std::string media;
        failure = ReadCapabilitiesMediaAddress(answer, media);
        if (failure == Failure::None) {
            media_url_ = MendServiceUrl(media, address_);
            return Failure::None;
        }
        if (failure == Failure::NotAuthorized)
            return fail(failure, answer.detail());
    } else if (failure == Failure::NotAuthorized || failure == Failure::Timeout) {
        return failure;
    }

    failure = call(device_url_, Operation::GetServices, {}, true, text);
    if (failure != Failure::None)
        return failure;
    const SoapAnswer answer(text);
    std::string media;
    failure = ReadServicesMediaAddress(answer, media);
    if (failure != Failure::None)
        return fail(failure, answer.detail().empty() ? "no media service" : answer.detail());
    media_url_ = MendServiceUrl(media, address_);
    return Failure::None;
}

Failure OnvifClient::getDeviceInformation(DeviceInformation& information)
{
    std::string text;
    const Failure failure = call(device_url_, Operation::GetDeviceInformation, {}, true, text);
    if (failure != Failure::None)
        return failure;
    const SoapAnswer answer(text);
    const Failure read = ReadDeviceInformation(answer, information);
    return read == Failure::None ? read : fail(read, answer.detail());
}

Failure OnvifClient::getProfiles(std::vector<VideoProfile>& profiles)
{
    if (media_url_.empty())
        return fail(Failure::NoService, "no media service");
    std::string text;
    const Failure failure = call(media_url_, Operation::GetProfiles, {}, true, text);
    if (failure != Failure::None)
        return failure;
    const SoapAnswer answer(text);
    const Failure read = ReadProfiles(answer, profiles);
    return read == Failure::None ? read : fail(read, answer.detail().empty() ? "no video profile" : answer.detail());
}

Failure OnvifClient::getStreamUri(const std::string& profile_token, std::string& uri)
{
    if (media_url_.empty())
        return fail(Failure::NoService, "no media service");
    std::string text;
    const Failure failure = call(media_url_, Operation::GetStreamUri, profile_token, true, text);
    if (failure != Failure::None)
        return failure;
    const SoapAnswer answer(text);
    std::string read_uri;
    const Failure read = ReadStreamUri(answer, read_uri);
    if (read != Failure::None)
        return fail(read, answer.detail().empty() ? "no stream URI" : answer.detail());
    uri = UriWithoutCredentials(RepairStreamUri(read_uri, address_));
    return uri.empty() ? fail(Failure::BadAnswer, "the stream URI is no URL") : Failure::None;
}

Failure OnvifClient::getSnapshotUri(const std::string& profile_token, std::string& uri)
{
    if (media_url_.empty())
        return fail(Failure::NoService, "no media service");
    std::string text;
    const Failure failure = call(media_url_, Operation::GetSnapshotUri, profile_token, true, text);
    if (failure != Failure::None)
        return failure;
    const SoapAnswer answer(text);
    std::string read_uri;
    const Failure read = ReadSnapshotUri(answer, read_uri);
    if (read != Failure::None)
        return fail(read, answer.detail().empty() ? "no snapshot URI" : answer.detail());
    uri = UriWithoutCredentials(RepairStreamUri(read_uri, address_));
    return uri.empty() ? fail(Failure::BadAnswer, "the snapshot URI is no URL") : Failure::None;
}

}  // namespace onvif
