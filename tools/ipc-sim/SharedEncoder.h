#pragma once
// One encoder for every client of one stream shape: a pipeline of its own
// (test source, painter, H.264 encoder, app sink) whose access units are
// handed to each client's app source. It runs while a client is joined.
// A client that starts playing gets a key frame made for it and nothing
// before it, so it starts as fast as with an encoder of its own.

#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/SimConfig.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

typedef struct _GstElement GstElement;
typedef struct _GstAppSink GstAppSink;

namespace orvane::sim {

class SharedEncoder {
public:
    // paint is attached to the raw pictures before they are encoded.
    using AttachPainter = std::function<void(GstElement* pipeline)>;

    // Logs "encoder-start path=PATH" and "encoder-stop path=PATH".
    SharedEncoder(std::string path, StreamShape shape, int bitrate_kbps, AttachPainter attach, EventLog& log);
    ~SharedEncoder();
    SharedEncoder(const SharedEncoder&) = delete;
    SharedEncoder& operator=(const SharedEncoder&) = delete;

    // The media a client plays: an app source fed by join(), paid out as RTP.
    static std::string ClientLaunch();

    // Feeds source (the app source of ClientLaunch, referenced until leave)
    // from its next key frame on. After stallAfter_us of feeding (0: never)
    // it is fed no more and stalled() is called once.
    void join(GstElement* source, long long stallAfter_us, std::function<void()> stalled);
    void leave(GstElement* source);
    // The client's media starts playing (again): it waits for a key frame.
    void restart(GstElement* source);

private:
    struct Client;
    static int OnSample(GstAppSink* sink, void* data);
    void feed(void* sample);
    void startLocked();
    void stopLocked();

    const std::string path_;
    const StreamShape shape_;
    EventLog& log_;
    const int bitrate_kbps_;
    AttachPainter attach_;
    std::mutex lifecycle_;  // starting and stopping the pipeline
    GstElement* pipeline_ = nullptr;
    GstElement* sink_ = nullptr;
    std::mutex clientsMutex_;  // the clients, read by the encoder's thread
    std::vector<Client> clients_;
};

}  // namespace orvane::sim
