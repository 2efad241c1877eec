#pragma once
// The ONVIF services of the cameras that have them (onvif=yes): HTTP on
// port 80 of the camera's address, /onvif/device_service and
// /onvif/media_service, answered by OnvifService.

#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/SimConfig.h"

#include <memory>
#include <string>
#include <vector>

namespace orvane::sim {

class OnvifServer {
public:
    OnvifServer(const SimConfig& config, EventLog& log);
    ~OnvifServer();
    OnvifServer(const OnvifServer&) = delete;
    OnvifServer& operator=(const OnvifServer&) = delete;

    bool start(std::string& error);
    void stop();

    struct Camera;  // one address's HTTP server and its thread

private:
    const SimConfig& config_;
    EventLog& log_;
    std::vector<std::unique_ptr<Camera>> cameras_;
};

}  // namespace orvane::sim
