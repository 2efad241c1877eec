#pragma once
// The cameras' video: every distinct local camera address serves RTSP on port
// 554 (or --rtsp-port) with two live test streams, /main 1920x1080 at 25 fps
// and /sub (1280x720 at 25 fps unless --sub-stream says otherwise), H.264 (or
// H.265 and MJPEG, and at the paths of its ONVIF profiles, as the camera's
// description asks; behind its login, basic or digest, when it has one), each
// frame carrying the wall-clock time it was made in a time strip
// (TimeStrip.h). A client's pipeline runs only while it plays: the simulator
// may play a thousand cameras on a machine of two cores. With a shared
// encoder every client of a path is fed from one encoder (SharedEncoder.h).

#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/SimConfig.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

// GLib's and GStreamer's own declarations, so that their headers stay in the .cpp.
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GstRTSPThreadPool GstRTSPThreadPool;

namespace orvane::sim {

class SharedEncoder;
struct StreamPath;

class StreamServer {
public:
    StreamServer(const SimConfig& config, EventLog& log);
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    // Listens on every address that serves a stream; GStreamer is started
    // only if there is one.
    bool start(std::string& error);
    void stop();

    struct Address;      // one camera address: its server and its two paths
    struct OpenClients;  // connected and not yet closed, for stop() to wait on

private:
    void run();
    void closeClients();
    void shareEncoders();

    const SimConfig& config_;
    EventLog& log_;
    std::unique_ptr<OpenClients> openClients_;
    std::vector<std::unique_ptr<Address>> addresses_;
    std::vector<std::unique_ptr<SharedEncoder>> encoders_;
    std::vector<std::unique_ptr<StreamPath>> sharedPictures_;  // what the encoders' painters read
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GstRTSPThreadPool* clientThreads_ = nullptr;
    std::thread thread_;
};

}  // namespace orvane::sim
