#include "tools/ipc-sim/OnvifServer.h"

#include "tools/ipc-sim/OnvifService.h"

#include <httplib.h>

#include <ctime>
#include <mutex>
#include <set>
#include <thread>

namespace orvane::sim {

struct OnvifServer::Camera {
    explicit Camera(const SimCamera& camera, int rtsp_port) : service(camera, rtsp_port), ip(camera.ip) {}
    OnvifService service;
    std::mutex mutex;  // the service keeps its last event
    std::string ip;
    httplib::Server http;
    std::thread thread;
};

namespace {

constexpr int kOnvifPort = 80;

void Answer(OnvifServer::Camera& camera, EventLog& log, const httplib::Request& request, httplib::Response& response)
{
    OnvifReply reply;
    std::string event;
    {
        std::lock_guard<std::mutex> lock(camera.mutex);
        reply = camera.service.answer(request.body, std::time(nullptr));
        event = camera.service.lastEvent();
    }
    log.write(event + " camera=" + camera.ip + " path=" + request.path);
    response.status = reply.status;
    response.set_content(reply.body, "application/soap+xml; charset=utf-8");
}

}  // namespace

OnvifServer::OnvifServer(const SimConfig& config, EventLog& log) : config_(config), log_(log) {}

OnvifServer::~OnvifServer() { stop(); }

bool OnvifServer::start(std::string& error)
{
    std::set<std::string> seen;
    for (const SimCamera& camera : config_.cameras) {
        if (!seen.insert(camera.ip).second || !camera.onvif)
            continue;
        auto served = std::make_unique<Camera>(camera, config_.rtspPort);
        Camera* self = served.get();
        EventLog* log = &log_;
        for (const char* path : {"/onvif/device_service", "/onvif/media_service"}) {
            served->http.Post(path, [self, log](const httplib::Request& request, httplib::Response& response) {
                Answer(*self, *log, request, response);
            });
        }
        served->http.set_payload_max_length(64 * 1024);
        if (!served->http.bind_to_port(camera.ip.c_str(), kOnvifPort)) {
            error = "cannot listen on " + camera.ip + ":" + std::to_string(kOnvifPort) + " for ONVIF";
            stop();
            return false;
        }
        served->thread = std::thread([self] { self->http.listen_after_bind(); });
        cameras_.push_back(std::move(served));
    }
    return true;
}

void OnvifServer::stop()
{
    for (const std::unique_ptr<Camera>& camera : cameras_) {
        camera->http.stop();
        if (camera->thread.joinable())
            camera->thread.join();
    }
    cameras_.clear();
}

}  // namespace orvane::sim
