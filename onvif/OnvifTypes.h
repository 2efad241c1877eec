#pragma once
// What the ONVIF client learns from a camera, and how a call can fail.

#include <cstdint>
#include <string>
#include <vector>

namespace onvif {

enum class Failure {
    None,
    NoService,      // refused, no answer within the connect time, or 404: the camera has no ONVIF
    NotAuthorized,  // HTTP 401 or the SOAP fault NotAuthorized: a login is needed or was wrong
    Timeout,        // connected but the answer did not come in time
    TooLarge,       // the answer is longer than any real camera's
    BadAnswer,      // not XML, not SOAP, not the answer asked for, or without the fields needed
    Fault,          // a SOAP fault other than NotAuthorized
};

const char* FailureText(Failure failure);

struct Credentials {
    std::string user;
    std::string password;
    bool empty() const { return user.empty(); }
};

struct VideoProfile {
    std::string token;
    std::string name;
    std::string encoding;  // "H264", "H265", "JPEG" as the camera names it
    int width = 0;
    int height = 0;
    int frame_rate = 0;
};

struct DeviceInformation {
    std::string manufacturer;
    std::string model;
    std::string firmware_version;
    std::string serial_number;
};

struct UtcTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

}  // namespace onvif
