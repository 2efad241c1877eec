#include "tools/ipc-sim/OnvifServer.h"

#include "onvif/UsernameToken.h"
#include "tools/ipc-sim/OnvifService.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

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
    std::string user, password;
    std::string snapshots[2];  // JPEG pictures of the main and sub stream's size
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

// One JPEG picture of the test pattern, made once: a snapshot shows the
// stream's size, not its moving picture.
std::string MakeJpeg(int width, int height)
{
    const std::string launch = "videotestsrc num-buffers=1 pattern=smpte ! video/x-raw,width=" +
                               std::to_string(width) + ",height=" + std::to_string(height) +
                               " ! jpegenc ! appsink name=out sync=false";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
    g_clear_error(&error);
    if (pipeline == nullptr)
        return {};
    std::string jpeg;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND)) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            jpeg.assign(reinterpret_cast<const char*>(map.data), map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return jpeg;
}

// Snapshots are fetched as cameras serve them: HTTP basic login when the camera has one.
void Snapshot(OnvifServer::Camera& camera, EventLog& log, int index, const httplib::Request& request,
              httplib::Response& response)
{
    if (!camera.user.empty()) {
        const std::string expected = "Basic " + onvif::Base64Encode(camera.user + ":" + camera.password);
        if (request.get_header_value("Authorization") != expected) {
            log.write("onvif-snapshot-refused camera=" + camera.ip);
            response.status = 401;
            response.set_header("WWW-Authenticate", "Basic realm=\"ipc-sim\"");
            return;
        }
    }
    log.write("onvif-snapshot camera=" + camera.ip + " path=" + request.path);
    response.set_content(camera.snapshots[index], "image/jpeg");
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
        served->user = camera.user;
        served->password = camera.password;
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
        served->snapshots[0] = MakeJpeg(1920, 1080);
        served->snapshots[1] = MakeJpeg(1280, 720);
        const char* pictures[2] = {"/onvif/snapshot/profile_main.jpg", "/onvif/snapshot/profile_sub.jpg"};
        for (int index = 0; index < 2; ++index) {
            served->http.Get(pictures[index], [self, log, index](const httplib::Request& request,
                                                                 httplib::Response& response) {
                Snapshot(*self, *log, index, request, response);
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
