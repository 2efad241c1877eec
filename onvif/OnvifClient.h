#pragma once
// A camera's ONVIF device and media services at
// http://ADDRESS/onvif/device_service. connect() learns the camera's clock
// (GetSystemDateAndTime, asked without a login) and its media service
// address (GetCapabilities, else GetServices); the other calls need it.
// With a login every call carries a WS-Security UsernameToken made with the
// camera's clock, and HTTP digest or basic answers the camera's challenge.
// Every call ends within the HTTP limits.

#include "onvif/HttpExchange.h"
#include "onvif/OnvifTypes.h"

#include <string>
#include <vector>

namespace onvif {

enum class Operation;

class OnvifClient {
public:
    OnvifClient(std::string camera_address, Credentials login, HttpLimits limits = {});

    Failure connect();
    Failure getDeviceInformation(DeviceInformation& information);
    Failure getProfiles(std::vector<VideoProfile>& profiles);
    // The URIs are mended (StreamUriRepair.h) and carry no login.
    Failure getStreamUri(const std::string& profile_token, std::string& uri);
    Failure getSnapshotUri(const std::string& profile_token, std::string& uri);

    // What went wrong in the last call that failed; never holds the password.
    const std::string& detail() const { return detail_; }
    long long clockOffset_s() const { return clock_offset_s_; }
    const std::string& deviceServiceUrl() const { return device_url_; }
    const std::string& mediaServiceUrl() const { return media_url_; }

private:
    // The answer's body, or the failure of the exchange or of its status.
    Failure call(const std::string& url, Operation operation, const std::string& profile_token, bool signed_in,
                 std::string& answer);
    Failure fail(Failure failure, const std::string& detail);

    std::string address_;
    Credentials login_;
    HttpLimits limits_;
    std::string device_url_;
    std::string media_url_;
    long long clock_offset_s_ = 0;
    std::string detail_;
};

}  // namespace onvif
