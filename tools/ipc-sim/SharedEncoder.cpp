#include "tools/ipc-sim/SharedEncoder.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>

namespace orvane::sim {

struct SharedEncoder::Client {
    GstElement* source;
    long long stallAfter_us;
    std::function<void()> stalled;
    bool playing = false;
    bool needKey = true;
    gint64 firstFed_us = -1;
    // Added to the encoder's times to give the client's own running time.
    GstClockTimeDiff offset_ns = 0;
    bool stopped = false;
};

namespace {

constexpr char kAccessUnitCaps[] = "video/x-h264,stream-format=byte-stream,alignment=au";

bool IsPlaying(GstElement* element)
{
    GstState state = GST_STATE_NULL;
    return gst_element_get_state(element, &state, nullptr, 0) != GST_STATE_CHANGE_FAILURE &&
           state == GST_STATE_PLAYING;
}

GstClockTime Moved(GstClockTime time, GstClockTimeDiff offset_ns)
{
    if (!GST_CLOCK_TIME_IS_VALID(time))
        return GST_CLOCK_TIME_NONE;
    const GstClockTimeDiff moved = GstClockTimeDiff(time) + offset_ns;
    return moved < 0 ? 0 : GstClockTime(moved);
}

}  // namespace

SharedEncoder::SharedEncoder(std::string path, StreamShape shape, int bitrate_kbps, AttachPainter attach,
                             EventLog& log)
    : path_(std::move(path)), shape_(shape), log_(log), bitrate_kbps_(bitrate_kbps), attach_(std::move(attach))
{
}

SharedEncoder::~SharedEncoder()
{
    {
        std::lock_guard<std::mutex> life(lifecycle_);
        stopLocked();
    }
    for (Client& client : clients_)
        gst_object_unref(client.source);
}

std::string SharedEncoder::ClientLaunch()
{
    return std::string("( appsrc name=src is-live=true format=time caps=") + kAccessUnitCaps +
           " ! rtph264pay name=pay0 pt=96 config-interval=1 )";
}

void SharedEncoder::startLocked()
{
    if (pipeline_ != nullptr)
        return;
    // The same encoder settings as a client's own: no B-frames, no
    // look-ahead, a key frame a second, and one at once for each new client.
    // In byte-stream form x264 repeats its parameter sets before every key
    // frame, so a client that joins late needs no parser to find them.
    const std::string launch =
        "videotestsrc is-live=true pattern=black"
        " ! capsfilter name=raw caps=video/x-raw,format=I420,width=" +
        std::to_string(shape_.width) + ",height=" + std::to_string(shape_.height) +
        ",framerate=" + std::to_string(shape_.fps) +
        "/1"
        " ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=" +
        std::to_string(shape_.fps) + " bitrate=" + std::to_string(bitrate_kbps_) + " ! " + kAccessUnitCaps +
        " ! appsink name=out sync=false max-buffers=2 drop=true caps=" +
        kAccessUnitCaps;
    GError* failure = nullptr;
    pipeline_ = gst_parse_launch(launch.c_str(), &failure);
    g_clear_error(&failure);
    if (pipeline_ == nullptr)
        return;
    attach_(pipeline_);
    sink_ = gst_bin_get_by_name(GST_BIN(pipeline_), "out");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer data) {
        return static_cast<GstFlowReturn>(SharedEncoder::OnSample(sink, data));
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink_), &callbacks, this, nullptr);
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    log_.write("encoder-start path=" + path_);
}

void SharedEncoder::stopLocked()
{
    if (pipeline_ == nullptr)
        return;
    // Waits for the encoder's thread, which takes clientsMutex_ only: never
    // called with that lock held.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(sink_);
    gst_object_unref(pipeline_);
    sink_ = nullptr;
    pipeline_ = nullptr;
    log_.write("encoder-stop path=" + path_);
}

void SharedEncoder::join(GstElement* source, long long stallAfter_us, std::function<void()> stalled)
{
    std::lock_guard<std::mutex> life(lifecycle_);
    {
        std::lock_guard<std::mutex> lock(clientsMutex_);
        clients_.push_back(Client{GST_ELEMENT(gst_object_ref(source)), stallAfter_us, std::move(stalled)});
    }
    startLocked();
}

void SharedEncoder::leave(GstElement* source)
{
    std::lock_guard<std::mutex> life(lifecycle_);
    bool none = false;
    {
        std::lock_guard<std::mutex> lock(clientsMutex_);
        auto found = std::find_if(clients_.begin(), clients_.end(),
                                  [source](const Client& client) { return client.source == source; });
        if (found == clients_.end())
            return;
        gst_object_unref(found->source);
        clients_.erase(found);
        none = clients_.empty();
    }
    if (none)
        stopLocked();
}

void SharedEncoder::restart(GstElement* source)
{
    std::lock_guard<std::mutex> lock(clientsMutex_);
    for (Client& client : clients_) {
        if (client.source == source)
            client.needKey = true;
    }
}

int SharedEncoder::OnSample(GstAppSink* sink, void* data)
{
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr)
        return GST_FLOW_OK;
    static_cast<SharedEncoder*>(data)->feed(sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void SharedEncoder::feed(void* opaque)
{
    GstBuffer* unit = gst_sample_get_buffer(static_cast<GstSample*>(opaque));
    if (unit == nullptr)
        return;
    const bool key = !GST_BUFFER_FLAG_IS_SET(unit, GST_BUFFER_FLAG_DELTA_UNIT);
    bool wantKey = false;
    std::vector<std::function<void()>> stalls;
    {
        std::lock_guard<std::mutex> lock(clientsMutex_);
        const gint64 now = g_get_monotonic_time();
        for (Client& client : clients_) {
            if (client.stopped)
                continue;
            // Whatever a client's media got before it played went nowhere:
            // each start of playing waits for a key frame.
            const bool playing = IsPlaying(client.source);
            if (playing && !client.playing)
                client.needKey = true;
            client.playing = playing;
            if (!playing)
                continue;
            if (client.needKey && !key) {
                wantKey = true;
                continue;
            }
            if (client.needKey) {
                // The encoder's times run on another pipeline's clock: from
                // this key frame on they are moved to the client's, keeping
                // the encoder's spacing.
                const GstClockTime now_ns = gst_element_get_current_running_time(client.source);
                client.offset_ns = GST_CLOCK_TIME_IS_VALID(now_ns) && GST_BUFFER_PTS_IS_VALID(unit)
                                       ? GST_CLOCK_DIFF(GST_BUFFER_PTS(unit), now_ns)
                                       : 0;
            }
            client.needKey = false;
            if (client.firstFed_us < 0)
                client.firstFed_us = now;
            if (client.stallAfter_us > 0 && now - client.firstFed_us >= client.stallAfter_us) {
                client.stopped = true;
                stalls.push_back(client.stalled);
                continue;
            }
            GstBuffer* copy = gst_buffer_copy(unit);
            GST_BUFFER_PTS(copy) = Moved(GST_BUFFER_PTS(unit), client.offset_ns);
            GST_BUFFER_DTS(copy) = Moved(GST_BUFFER_DTS(unit), client.offset_ns);
            gst_app_src_push_buffer(GST_APP_SRC(client.source), copy);
        }
    }
    for (const std::function<void()>& stalled : stalls)
        stalled();
    if (wantKey && sink_ != nullptr)
        gst_element_send_event(sink_, gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
}

}  // namespace orvane::sim
