#pragma once
// A simulated camera's ONVIF device and media services: one SOAP request
// in, the HTTP status and SOAP answer out, as cameras give them. Every call
// but GetSystemDateAndTime needs the camera's login, when it has one, as a
// WS-Security UsernameToken whose time is within five minutes of the
// camera's clock.

#include "tools/ipc-sim/SimConfig.h"

#include <ctime>
#include <string>

namespace orvane::sim {

struct OnvifReply {
    int status = 200;
    std::string body;
};

class OnvifService {
public:
    OnvifService(const SimCamera& camera, int rtsp_port);

    // now_utc: our clock; the camera's runs clockOffset_s ahead of it.
    OnvifReply answer(const std::string& request, std::time_t now_utc) const;

    // The stream path of each profile.
    static const char* StreamPath(int profile);
    // What the camera logs of the request: its operation and login outcome.
    std::string lastEvent() const { return lastEvent_; }

private:
    OnvifReply answerOperation(const std::string& operation, const std::string& profile_token,
                               std::time_t camera_now) const;

    const SimCamera& camera_;
    int rtspPort_;
    mutable std::string lastEvent_;
};

}  // namespace orvane::sim
