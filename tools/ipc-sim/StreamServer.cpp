#include "tools/ipc-sim/StreamServer.h"

#include "net/Socket.h"
#include "tools/ipc-sim/OnvifService.h"
#include "tools/ipc-sim/SharedEncoder.h"
#include "tools/ipc-sim/TimeStrip.h"

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

namespace orvane::sim {

struct StreamPath {
    StreamServer::Address* address;  // null for a shared encoder's pictures
    const char* path;
    StreamShape shape;
    int bitrate_kbps;
    StreamCodec codec;
    SharedEncoder* encoder;  // null: each client has an encoder of its own
};

struct StreamServer::OpenClients {
    std::mutex mutex;
    std::condition_variable closed;
    int count = 0;
};

struct StreamServer::Address {
    EventLog* log;
    OpenClients* clients;
    std::string ip;
    StreamMode mode;
    StreamPath paths[2];
    const SimCamera* camera;
    GstRTSPServer* server = nullptr;
    GSource* listener = nullptr;
};

namespace {

constexpr gint64 kStallAfter_us = 2 * G_USEC_PER_SEC;
constexpr StreamShape kMainShape{1920, 1080, 25};
constexpr int kMainBitrate_kbps = 4000;

// 2000 kbit/s at 720p at 25 fps, in proportion for other shapes.
int SubBitrate_kbps(const StreamShape& shape)
{
    const long long pixels_per_s = static_cast<long long>(shape.width) * shape.height * shape.fps;
    return static_cast<int>(std::max(200LL, 2000LL * pixels_per_s / (1280LL * 720 * 25)));
}
// UDP ports for the streams' RTP and RTCP, bound to the camera's own address
// so that a client sees every packet come from the camera it asked.
constexpr guint16 kFirstUdpPort = 20000;
constexpr guint16 kLastUdpPort = 59999;

int64_t WallClock_ms()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Whether this host owns the address: binding to it is the plain test, the
// one the command port makes too.
bool AddressIsLocal(const std::string& ip)
{
    Socket probe = Socket::tcp();
    return probe.bindTo(MakeAddress(ip.c_str(), 0)) || errno != EADDRNOTAVAIL;
}

// One media's painter: lives as long as the pad probe that calls it. The
// probe runs on the streaming thread and is dropped from another; GStreamer
// orders the two with locks of its own that ThreadSanitizer cannot see, so
// the painter's lock makes that order plain.
struct Painter {
    std::mutex mutex;
    const StreamPath* stream;
    GstVideoInfo info{};
    bool haveInfo = false;
    int64_t frames = 0;
    gint64 firstFrame_us = -1;
    bool stalled = false;
};

// A grey square that crosses the picture and back every 8 s, so that every
// frame differs from the one before. The test source's own moving patterns
// cost a third of a core at 1080p; a black picture and this square, almost
// nothing.
void PaintMovingSquare(uint8_t* luma, int width, int height, int stride, int64_t frame)
{
    const int side = height / 6;
    const int travel = width - side;
    if (side <= 0 || travel <= 0)
        return;
    const int step = std::max(1, width / 100);
    const int64_t phase = (frame * step) % (2 * static_cast<int64_t>(travel));
    const int left = static_cast<int>(phase < travel ? phase : 2 * travel - phase);
    for (int y = (height - side) / 2; y < (height + side) / 2; ++y)
        std::memset(luma + static_cast<ptrdiff_t>(y) * stride + left, 180, static_cast<size_t>(side));
}

GstPadProbeReturn PaintFrame(GstPad* pad, GstPadProbeInfo* probe, gpointer data)
{
    auto* painter = static_cast<Painter*>(data);
    std::lock_guard<std::mutex> lock(painter->mutex);
    const StreamServer::Address* camera = painter->stream->address;
    if (camera != nullptr && camera->mode == StreamMode::Stall) {
        const StreamServer::Address& address = *camera;
        const gint64 now = g_get_monotonic_time();
        if (painter->firstFrame_us < 0)
            painter->firstFrame_us = now;
        if (now - painter->firstFrame_us >= kStallAfter_us) {
            if (!painter->stalled) {
                painter->stalled = true;
                address.log->write("rtsp-stall camera=" + address.ip + " path=" + painter->stream->path);
            }
            return GST_PAD_PROBE_DROP;
        }
    }
    if (!painter->haveInfo) {
        GstCaps* caps = gst_pad_get_current_caps(pad);
        painter->haveInfo = caps && gst_video_info_from_caps(&painter->info, caps);
        if (caps)
            gst_caps_unref(caps);
        if (!painter->haveInfo)
            return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(probe));
    GST_PAD_PROBE_INFO_DATA(probe) = buffer;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &painter->info, buffer, GST_MAP_WRITE))
        return GST_PAD_PROBE_OK;
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    auto* luma = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int lumaStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    PaintMovingSquare(luma, width, height, lumaStride, painter->frames++);
    PaintTimeStrip(luma, width, height, lumaStride, WallClock_ms());
    // Grey, not tinted, so that the blocks stay black and white in any colour conversion.
    const int chromaRows = TimeStripRows(width, height) / 2;
    for (guint plane = 1; plane < GST_VIDEO_FRAME_N_PLANES(&frame); ++plane) {
        auto* rows = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane);
        for (int y = 0; y < chromaRows; ++y)
            std::memset(rows + static_cast<ptrdiff_t>(y) * stride, 128, static_cast<size_t>((width + 1) / 2));
    }
    gst_video_frame_unmap(&frame);
    return GST_PAD_PROBE_OK;
}

void DeletePainter(gpointer data)
{
    auto* painter = static_cast<Painter*>(data);
    { std::lock_guard<std::mutex> lock(painter->mutex); }
    delete painter;
}

void AttachPainter(GstElement* bin, const StreamPath* stream)
{
    GstElement* raw = gst_bin_get_by_name(GST_BIN(bin), "raw");
    if (raw) {
        GstPad* pad = gst_element_get_static_pad(raw, "src");
        auto* painter = new Painter;
        painter->stream = stream;
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, PaintFrame, painter, DeletePainter);
        gst_object_unref(pad);
        gst_object_unref(raw);
    }
}

// A client of a shared encoder: fed from media-configure until the media is
// unprepared.
struct SharedClient {
    SharedEncoder* encoder;
    GstElement* source;
    const StreamPath* stream;
};

void LeaveEncoder(GstRTSPMedia*, gpointer data)
{
    auto* client = static_cast<SharedClient*>(data);
    if (client->source != nullptr) {
        client->encoder->leave(client->source);
        gst_object_unref(client->source);
        client->source = nullptr;
    }
}

// A media plays once while it is prepared, for its description, and again
// on PLAY: what was sent in between reached no one.
void RestartEncoder(GstRTSPMedia*, gint state, gpointer data)
{
    auto* client = static_cast<SharedClient*>(data);
    if (state == GST_STATE_PLAYING && client->source != nullptr)
        client->encoder->restart(client->source);
}

void DeleteSharedClient(gpointer data, GClosure*)
{
    auto* client = static_cast<SharedClient*>(data);
    if (client->source != nullptr) {
        client->encoder->leave(client->source);
        gst_object_unref(client->source);
    }
    delete client;
}

void JoinEncoder(GstRTSPMedia* media, GstElement* bin, const StreamPath* stream)
{
    GstElement* source = gst_bin_get_by_name(GST_BIN(bin), "src");
    if (source == nullptr)
        return;
    const StreamServer::Address* address = stream->address;
    const std::string path = stream->path;
    const long long stallAfter_us = address->mode == StreamMode::Stall ? kStallAfter_us : 0;
    stream->encoder->join(source, stallAfter_us, [address, path] {
        address->log->write("rtsp-stall camera=" + address->ip + " path=" + path);
    });
    auto* client = new SharedClient{stream->encoder, source, stream};
    g_signal_connect(media, "new-state", G_CALLBACK(RestartEncoder), client);
    g_signal_connect_data(media, "unprepared", G_CALLBACK(LeaveEncoder), client, DeleteSharedClient,
                          GConnectFlags(0));
}

// A camera joined between key frames (key-every-ms): 0 for the usual one a
// second, and for a shared encoder's pictures, which start at a key frame.
int KeyEvery_ms(const StreamPath& stream)
{
    return stream.address != nullptr && stream.codec != StreamCodec::Mjpeg ? stream.address->camera->keyEvery_ms : 0;
}

// Drops the encoder's output up to its first frame that is not a key frame:
// the client's stream then starts in the middle of a group of pictures. The
// PLAY's seek flushes the encoder, which starts again with a key frame: the
// dropping starts again with it.
GstPadProbeReturn DropLeadingKeyFrames(GstPad*, GstPadProbeInfo* probe, gpointer data)
{
    auto* dropping = static_cast<std::atomic<bool>*>(data);
    if ((GST_PAD_PROBE_INFO_TYPE(probe) & GST_PAD_PROBE_TYPE_EVENT_FLUSH) != 0) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(probe)) == GST_EVENT_FLUSH_STOP)
            *dropping = true;
        return GST_PAD_PROBE_OK;
    }
    if (!*dropping)
        return GST_PAD_PROBE_OK;
    if (!GST_BUFFER_FLAG_IS_SET(GST_PAD_PROBE_INFO_BUFFER(probe), GST_BUFFER_FLAG_DELTA_UNIT))
        return GST_PAD_PROBE_DROP;
    *dropping = false;
    return GST_PAD_PROBE_OK;
}

void StartBetweenKeyFrames(GstElement* bin)
{
    GstElement* payloader = gst_bin_get_by_name(GST_BIN(bin), "pay0");
    if (payloader == nullptr)
        return;
    GstPad* pad = gst_element_get_static_pad(payloader, "sink");
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      DropLeadingKeyFrames, new std::atomic<bool>(true),
                      [](gpointer data) { delete static_cast<std::atomic<bool>*>(data); });
    gst_object_unref(pad);
    gst_object_unref(payloader);
}

void ConfigureMedia(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data)
{
    const auto* stream = static_cast<const StreamPath*>(data);
    GstElement* bin = gst_rtsp_media_get_element(media);
    if (stream->encoder != nullptr)
        JoinEncoder(media, bin, stream);
    else
        AttachPainter(bin, stream);
    if (stream->encoder == nullptr && KeyEvery_ms(*stream) > 0)
        StartBetweenKeyFrames(bin);
    gst_object_unref(bin);
}

std::string RequestPath(const GstRTSPContext* context)
{
    std::string path = context->uri && context->uri->abspath ? context->uri->abspath : "";
    // The aggregate control URL of a PLAY carries the content base's slash.
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

void OnPlay(GstRTSPClient*, GstRTSPContext* context, gpointer data)
{
    const auto* address = static_cast<const StreamServer::Address*>(data);
    address->log->write("rtsp-client camera=" + address->ip + " path=" + RequestPath(context));
}

void OnClosed(GstRTSPClient*, gpointer data)
{
    const auto* address = static_cast<const StreamServer::Address*>(data);
    address->log->write("rtsp-close camera=" + address->ip);
    std::lock_guard<std::mutex> lock(address->clients->mutex);
    --address->clients->count;
    address->clients->closed.notify_all();
}

void OnClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer data)
{
    const auto* address = static_cast<const StreamServer::Address*>(data);
    std::string peer = "?";
    if (GstRTSPConnection* connection = gst_rtsp_client_get_connection(client))
        peer = gst_rtsp_connection_get_ip(connection);
    address->log->write("rtsp-connect camera=" + address->ip + " peer=" + peer);
    {
        std::lock_guard<std::mutex> lock(address->clients->mutex);
        ++address->clients->count;
    }
    g_signal_connect(client, "play-request", G_CALLBACK(OnPlay), data);
    g_signal_connect(client, "closed", G_CALLBACK(OnClosed), data);
}

// The encoder and payloader of a stream's codec. ultrafast/zerolatency: no
// B-frames, no look-ahead, so a frame leaves the encoder at once; one key
// frame a second so a client starts fast, unless the camera is to make them
// seldom.
std::string EncoderLaunch(const StreamPath& stream)
{
    const std::string bitrate = std::to_string(stream.bitrate_kbps);
    const int keyEvery_ms = KeyEvery_ms(stream);
    const std::string keyEvery =
        std::to_string(keyEvery_ms > 0 ? std::max(1, stream.shape.fps * keyEvery_ms / 1000) : stream.shape.fps);
    switch (stream.codec) {
    case StreamCodec::H265:
        return " ! x265enc tune=zerolatency speed-preset=ultrafast key-int-max=" + keyEvery + " bitrate=" + bitrate +
               " ! rtph265pay name=pay0 pt=96 config-interval=1";
    case StreamCodec::Mjpeg:
        return " ! jpegenc quality=60 ! rtpjpegpay name=pay0 pt=26";
    case StreamCodec::H264:
        break;
    }
    return " ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=" + keyEvery + " bitrate=" + bitrate +
           " ! rtph264pay name=pay0 pt=96 config-interval=1";
}

GstRTSPMediaFactory* MakeFactory(StreamPath& stream, GstRTSPAddressPool* ports, bool with_login)
{
    const StreamShape& shape = stream.shape;
    const std::string launch =
        stream.encoder != nullptr
            ? SharedEncoder::ClientLaunch()
            : "( videotestsrc is-live=true pattern=black"
              " ! capsfilter name=raw caps=video/x-raw,format=I420,width=" +
                  std::to_string(shape.width) + ",height=" + std::to_string(shape.height) +
                  ",framerate=" + std::to_string(shape.fps) + "/1" + EncoderLaunch(stream) + " )";
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, launch.c_str());
    // A pipeline of its own for each client: with one pipeline shared by a
    // UDP and a TCP client, GStreamer 1.22's RTSP server aborts on one of its
    // assertions about one time in five (seen with ffmpeg joining either way).
    gst_rtsp_media_factory_set_shared(factory, FALSE);
    gst_rtsp_media_factory_set_address_pool(factory, ports);
    g_signal_connect(factory, "media-configure", G_CALLBACK(ConfigureMedia), &stream);
    if (with_login)
        gst_rtsp_media_factory_add_role(factory, "viewer", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                        GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
    return factory;
}

// The camera's login, asked as basic or digest: a client without it gets 401.
void AddLogin(GstRTSPServer* server, const SimCamera& camera)
{
    GstRTSPAuth* auth = gst_rtsp_auth_new();
    GstRTSPToken* token =
        gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "viewer", nullptr);
    if (camera.rtspAuth == RtspAuth::Basic) {
        gchar* basic = gst_rtsp_auth_make_basic(camera.user.c_str(), camera.password.c_str());
        gst_rtsp_auth_add_basic(auth, basic, token);
        g_free(basic);
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_BASIC);
    } else {
        gst_rtsp_auth_add_digest(auth, camera.user.c_str(), camera.password.c_str(), token);
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
    }
    gst_rtsp_token_unref(token);
    gst_rtsp_server_set_auth(server, auth);
    g_object_unref(auth);
}

bool AsksLogin(const SimCamera& camera)
{
    return !camera.user.empty() && camera.rtspAuth != RtspAuth::None;
}

GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer) { return GST_RTSP_FILTER_REMOVE; }

GstRTSPFilterResult RemoveSession(GstRTSPSessionPool*, GstRTSPSession*, gpointer) { return GST_RTSP_FILTER_REMOVE; }

}  // namespace

void StreamServer::shareEncoders()
{
    const StreamShape shapes[2] = {kMainShape, config_.sub};
    const int bitrates_kbps[2] = {kMainBitrate_kbps, SubBitrate_kbps(config_.sub)};
    for (int i = 0; i < 2; ++i) {
        auto pictures = std::make_unique<StreamPath>(StreamPath{nullptr, i == 0 ? "/main" : "/sub", shapes[i],
                                                                bitrates_kbps[i], StreamCodec::H264, nullptr});
        const StreamPath* painted = pictures.get();
        encoders_.push_back(std::make_unique<SharedEncoder>(
            painted->path, shapes[i], bitrates_kbps[i],
            [painted](GstElement* pipeline) { AttachPainter(pipeline, painted); }, log_));
        sharedPictures_.push_back(std::move(pictures));
        for (const std::unique_ptr<Address>& address : addresses_)
            address->paths[i].encoder = encoders_.back().get();
    }
}

StreamServer::StreamServer(const SimConfig& config, EventLog& log)
    : config_(config), log_(log), openClients_(std::make_unique<OpenClients>())
{
}

StreamServer::~StreamServer() { stop(); }

bool StreamServer::start(std::string& error)
{
    // The first camera of an address decides how that address behaves.
    std::set<std::string> seen;
    for (const SimCamera& camera : config_.cameras) {
        if (!seen.insert(camera.ip).second || camera.stream == StreamMode::None)
            continue;
        if (!AddressIsLocal(camera.ip)) {
            log_.write("no-rtsp camera=" + camera.ip + " reason=address-not-local");
            continue;
        }
        auto address = std::make_unique<Address>();
        address->log = &log_;
        address->clients = openClients_.get();
        address->ip = camera.ip;
        address->mode = camera.stream;
        address->camera = &camera;
        // A camera with ONVIF serves its streams where its profiles say.
        address->paths[0] = {address.get(), camera.onvif ? OnvifService::StreamPath(0) : "/main", kMainShape,
                             kMainBitrate_kbps, camera.mainCodec, nullptr};
        address->paths[1] = {address.get(), camera.onvif ? OnvifService::StreamPath(1) : "/sub", config_.sub,
                             SubBitrate_kbps(config_.sub), camera.subCodec, nullptr};
        addresses_.push_back(std::move(address));
    }
    if (addresses_.empty())
        return true;
    if (config_.encoders == EncoderUse::Shared)
        shareEncoders();

    GError* failure = nullptr;
    if (!gst_init_check(nullptr, nullptr, &failure)) {
        error = std::string("cannot start GStreamer: ") + (failure ? failure->message : "?");
        g_clear_error(&failure);
        addresses_.clear();
        return false;
    }
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    // Client connections of every camera share two threads: a thousand
    // idle cameras should not mean a thousand threads.
    clientThreads_ = gst_rtsp_thread_pool_new();
    gst_rtsp_thread_pool_set_max_threads(clientThreads_, 2);
    const std::string service = std::to_string(config_.rtspPort);
    for (const std::unique_ptr<Address>& address : addresses_) {
        address->server = gst_rtsp_server_new();
        gst_rtsp_server_set_address(address->server, address->ip.c_str());
        gst_rtsp_server_set_service(address->server, service.c_str());
        gst_rtsp_server_set_thread_pool(address->server, clientThreads_);
        GstRTSPAddressPool* ports = gst_rtsp_address_pool_new();
        gst_rtsp_address_pool_add_range(ports, address->ip.c_str(), address->ip.c_str(), kFirstUdpPort, kLastUdpPort,
                                        0);
        GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(address->server);
        const bool with_login = AsksLogin(*address->camera);
        if (with_login)
            AddLogin(address->server, *address->camera);
        for (StreamPath& stream : address->paths)
            gst_rtsp_mount_points_add_factory(mounts, stream.path, MakeFactory(stream, ports, with_login));
        g_object_unref(mounts);
        g_object_unref(ports);
        g_signal_connect(address->server, "client-connected", G_CALLBACK(OnClientConnected), address.get());
        address->listener = gst_rtsp_server_create_source(address->server, nullptr, &failure);
        if (!address->listener) {
            error = "cannot listen on " + address->ip + ":" + service + ": " + (failure ? failure->message : "?");
            g_clear_error(&failure);
            stop();
            return false;
        }
        g_source_attach(address->listener, context_);
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void StreamServer::run()
{
    g_main_context_push_thread_default(context_);
    g_main_loop_run(loop_);
    g_main_context_pop_thread_default(context_);
}

void StreamServer::closeClients()
{
    for (const std::unique_ptr<Address>& address : addresses_) {
        gst_rtsp_server_client_filter(address->server, RemoveClient, nullptr);
        GstRTSPSessionPool* sessions = gst_rtsp_server_get_session_pool(address->server);
        gst_rtsp_session_pool_filter(sessions, RemoveSession, nullptr);
        g_object_unref(sessions);
    }
}

void StreamServer::stop()
{
    if (!context_)
        return;
    if (thread_.joinable()) {
        // Clients are closed on the loop's own thread, where the servers
        // accept them, then the loop ends.
        g_main_context_invoke(
            context_,
            [](gpointer data) -> gboolean {
                auto* self = static_cast<StreamServer*>(data);
                self->closeClients();
                g_main_loop_quit(self->loop_);
                return G_SOURCE_REMOVE;
            },
            this);
        thread_.join();
    }
    // A client's closing ends on its own thread, which still reads its
    // camera's address; an abandoned wait leaves the servers to the exit.
    bool allClosed = false;
    {
        std::unique_lock<std::mutex> lock(openClients_->mutex);
        allClosed = openClients_->closed.wait_for(lock, std::chrono::seconds(3),
                                                  [this] { return openClients_->count == 0; });
    }
    if (!allClosed) {
        log_.write("rtsp-stop clients-still-open");
        for (std::unique_ptr<Address>& address : addresses_)
            static_cast<void>(address.release());
        addresses_.clear();
        static_cast<void>(openClients_.release());
        for (std::unique_ptr<SharedEncoder>& encoder : encoders_)
            static_cast<void>(encoder.release());
        encoders_.clear();
        context_ = nullptr;
        return;
    }
    for (const std::unique_ptr<Address>& address : addresses_) {
        if (address->listener) {
            g_source_destroy(address->listener);
            g_source_unref(address->listener);
        }
        if (address->server)
            g_object_unref(address->server);
    }
    addresses_.clear();
    // Waits for the client and media threads to end.
    gst_rtsp_thread_pool_cleanup();
    g_object_unref(clientThreads_);
    // After every media: a media's end leaves its encoder.
    encoders_.clear();
    sharedPictures_.clear();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
    clientThreads_ = nullptr;
    loop_ = nullptr;
    context_ = nullptr;
}

}  // namespace orvane::sim
