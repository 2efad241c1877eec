#pragma once
// One HTTP request to a camera, through libcurl: bounded in time (2 s to
// connect, 5 s in all) and in size, with HTTP digest or basic login when
// the camera asks for one, and never through a proxy (cameras are on the
// local network).

#include "onvif/OnvifTypes.h"

#include <atomic>
#include <cstddef>
#include <string>

namespace onvif {

struct HttpLimits {
    long connect_ms = 2000;
    long total_ms = 5000;
    size_t max_bytes = 256 * 1024;
    // When set and true, the request ends at once with Failure::Timeout.
    const std::atomic<bool>* cancel = nullptr;
};

struct HttpResult {
    Failure failure = Failure::None;  // of the transfer; an HTTP status is the caller's to judge
    long status = 0;
    std::string body;
    std::string content_type;
    std::string detail;
};

class HttpExchange {
public:
    static HttpResult post(const std::string& url, const std::string& soap_action, const std::string& body,
                           const Credentials& login, const HttpLimits& limits);
    static HttpResult get(const std::string& url, const Credentials& login, const HttpLimits& limits);
};

}  // namespace onvif
