#include "vidra/StreamDecoder.h"

#include "onvif/StreamUriRepair.h"
#include "vidra/FfmpegHandles.h"
#include "vidra/LoginStore.h"
#include "vidra/StreamLocator.h"
#include "vidra/StreamUrl.h"
#include "vidra/Trace.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace vidra {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSocketTimeout_ms = 3000;

// The largest size of the picture's shape that fits into target.
QSize FitInto(int width, int height, QSize target)
{
    if (target.width() <= 0 || target.height() <= 0)
        return QSize(width, height);
    QSize fitted(width, height);
    fitted.scale(target, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(2, 2));
}

// Lets a blocking FFmpeg call give up when the control stops the stream or
// the camera keeps it waiting too long.
struct Interrupt {
    const DecodeSession* session;
    Clock::time_point deadline;

    void allow(int ms) { deadline = Clock::now() + std::chrono::milliseconds(ms); }
    bool expired() const { return Clock::now() > deadline; }

    static int Callback(void* opaque)
    {
        auto* self = static_cast<Interrupt*>(opaque);
        return self->session->stopRequested() || self->expired() ? 1 : 0;
    }
};

enum class Transport { Udp, Tcp };

class Player {
public:
    explicit Player(std::shared_ptr<DecodeSession> session) : session_(std::move(session))
    {
        interrupt_.session = session_.get();
    }

    void run()
    {
        if (!locate() || !open() || !openDecoder())
            return;
        session_->deliverState(DecodeSession::State::Connecting, "Waiting for the first picture from " + session_->address());
        play();
    }

private:
    // The URL to play, with the login to try in it: VIDRA_URL as the control
    // gave it, else what the camera's ONVIF service names, else the pattern.
    bool locate()
    {
        const std::string& address = session_->address();
        login_ = LoginStore::loginFor(address);
        std::string located = session_->url();
        if (located.empty()) {
            const Clock::time_point asked = Clock::now();
            const LocatedStream found = LocateStream(address, session_->stream(), login_);
            const double lookup_ms = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
            if (session_->stopRequested())
                return false;
            if (found.failure == onvif::Failure::NotAuthorized)
                return askLogin();
            if (found.failure != onvif::Failure::None)
                return fail("No stream from " + address + ": " + found.detail);
            located = found.url;
            const char* source = found.source == UrlSource::Onvif ? "onvif" : "pattern";
            Trace("located address=%s stream=%d url=%s source=%s ms=%.1f", address.c_str(), session_->stream(),
                  UrlWithoutPassword(located).c_str(), source, lookup_ms);
            session_->deliverState(DecodeSession::State::Connecting, "Connecting to " + UrlWithoutPassword(located));
        }
        // A URL that carries its own login keeps it.
        url_ = login_.empty() || onvif::UriHasCredentials(located) ? located : onvif::UriWithCredentials(located, login_.user, login_.password);
        return true;
    }

    bool askLogin()
    {
        session_->deliverState(DecodeSession::State::NeedsLogin, login_.empty() ? "" : "Wrong user or password");
        return false;
    }

    bool open()
    {
        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr)
            return fail("Out of memory");
        raw->interrupt_callback = {&Interrupt::Callback, &interrupt_};
        // Shown as it arrives: no input buffering, no waiting to reorder.
        AVDictionary* options = nullptr;
        av_dict_set(&options, "fflags", "nobuffer", 0);
        av_dict_set(&options, "flags", "low_delay", 0);
        av_dict_set(&options, "max_delay", "0", 0);
        av_dict_set(&options, "reorder_queue_size", "0", 0);
        av_dict_set(&options, "probesize", "32768", 0);
        av_dict_set(&options, "analyzeduration", "0", 0);
        // RTSP socket I/O, in microseconds; also how long UDP may stay silent
        // before FFmpeg sets the stream up again over TCP.
        av_dict_set(&options, "timeout", std::to_string(kSocketTimeout_ms * 1000).c_str(), 0);
        // UDP first, unless VIDRA_TRANSPORT=tcp; play() falls back to TCP
        // itself, so that the control knows which one carries the stream.
        av_dict_set(&options, "rtsp_transport", transport_ == Transport::Tcp ? "tcp" : "udp", 0);
        interrupt_.allow(StreamDecoder::kOpenTimeout_ms);
        openedAt_ = Clock::now();
        const int opened = avformat_open_input(&raw, url_.c_str(), nullptr, &options);
        std::unique_ptr<AVDictionary, DictionaryFreer> unused(options);
        if (opened < 0)
            return failOpening(opened);
        format_.reset(raw);
        return true;
    }

    bool failOpening(int error)
    {
        if (session_->stopRequested())
            return false;
        if (error == AVERROR_HTTP_UNAUTHORIZED)
            return askLogin();
        // A camera that keeps silent makes FFmpeg give up on the socket's
        // timeout with whatever error the half-read answer gives.
        const bool silent = Clock::now() - openedAt_ >= std::chrono::milliseconds(kSocketTimeout_ms - 100);
        if (interrupt_.expired() || error == AVERROR(ETIMEDOUT) || silent)
            return fail("No answer from " + session_->address());
        return fail("No stream from " + session_->address() + ": " + ErrorText(error));
    }

    bool openDecoder()
    {
        videoStream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (videoStream_ < 0) {
            // The session description named no codec: look at the packets.
            interrupt_.allow(StreamDecoder::kOpenTimeout_ms);
            if (avformat_find_stream_info(format_.get(), nullptr) < 0)
                return failOpening(AVERROR_STREAM_NOT_FOUND);
            videoStream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            if (videoStream_ < 0)
                return fail("No video in the stream from " + session_->address());
        }
        const AVCodecParameters* parameters = format_->streams[videoStream_]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        if (codec == nullptr)
            return fail("Cannot decode the stream from " + session_->address());
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), parameters) < 0)
            return fail("Cannot decode the stream from " + session_->address());
        codec_->flags |= AV_CODEC_FLAG_LOW_DELAY;
        codec_->flags2 |= AV_CODEC_FLAG2_FAST;
        // Slice threads add no delay; frame threads would hold pictures back.
        // A second thread pays only above 720p: a wall of sub streams would
        // otherwise start twice as many threads as it has tiles.
        codec_->thread_type = FF_THREAD_SLICE;
        const bool large = parameters->width <= 0 || int64_t(parameters->width) * parameters->height > 1280 * 720;
        codec_->thread_count = large ? 2 : 1;
        if (avcodec_open2(codec_.get(), codec, nullptr) < 0)
            return fail("Cannot decode the stream from " + session_->address());
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            if (static_cast<int>(i) != videoStream_)
                format_->streams[i]->discard = AVDISCARD_ALL;
        }
        return true;
    }

    static Transport FirstTransport()
    {
        const char* asked = std::getenv("VIDRA_TRANSPORT");
        return asked != nullptr && std::strcmp(asked, "tcp") == 0 ? Transport::Tcp : Transport::Udp;
    }

    // No packet over UDP at all: a firewall or NAT in the way. The stream is
    // set up again over the RTSP connection itself.
    bool fallBackToTcp()
    {
        Trace("transport-fallback address=%s", session_->address().c_str());
        transport_ = Transport::Tcp;
        codec_.reset();
        format_.reset();
        return open() && openDecoder();
    }

    // "H.265 1920x1080 25 fps TCP", for the control's short line.
    // The frame rate the bitstream names, else the one the first two
    // pictures' times show.
    double framesPerSecond(const AVFrame& frame) const
    {
        const AVStream* stream = format_->streams[videoStream_];
        for (const AVRational rate : {codec_->framerate, stream->avg_frame_rate, stream->r_frame_rate}) {
            if (rate.num > 0 && rate.den > 0)
                return av_q2d(rate);
        }
        const int64_t step = frame.best_effort_timestamp - firstPts_;
        if (firstPts_ == AV_NOPTS_VALUE || frame.best_effort_timestamp == AV_NOPTS_VALUE || step <= 0)
            return 0.0;
        return 1.0 / (static_cast<double>(step) * av_q2d(stream->time_base));
    }

    std::string describe(const AVFrame& frame) const
    {
        const char* codec = codec_->codec_id == AV_CODEC_ID_H264   ? "H.264"
                            : codec_->codec_id == AV_CODEC_ID_HEVC  ? "H.265"
                            : codec_->codec_id == AV_CODEC_ID_MJPEG ? "MJPEG"
                                                                    : avcodec_get_name(codec_->codec_id);
        const double fps = framesPerSecond(frame);
        char text[128];
        std::snprintf(text, sizeof text, "%s %dx%d %.0f fps %s", codec, frame.width, frame.height, fps,
                      transport_ == Transport::Tcp ? "TCP" : "UDP");
        return text;
    }

    void play()
    {
        std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
        std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
        if (!packet || !frame) {
            fail("Out of memory");
            return;
        }
        while (!session_->stopRequested()) {
            interrupt_.allow(StreamDecoder::kReadTimeout_ms);
            const int read = av_read_frame(format_.get(), packet.get());
            if (read < 0 && !gotPacket_ && transport_ == Transport::Udp && !session_->stopRequested() &&
                std::strcmp(format_->iformat->name, "rtsp") == 0) {
                if (!fallBackToTcp())
                    return;
                continue;
            }
            if (read < 0) {
                endOfStream(read);
                return;
            }
            gotPacket_ = true;
            if (!shownFirst_ && !toldWaiting_ && packet->stream_index == videoStream_ &&
                (packet->flags & AV_PKT_FLAG_KEY) == 0) {
                toldWaiting_ = true;
                session_->deliverState(DecodeSession::State::Connecting, "Waiting for a key frame");
            }
            if (packet->stream_index == videoStream_ && avcodec_send_packet(codec_.get(), packet.get()) >= 0) {
                while (avcodec_receive_frame(codec_.get(), frame.get()) >= 0) {
                    // Every frame is decoded, since the next ones refer to
                    // it, but only those the window is ready for are
                    // converted: a window that falls behind skips pictures
                    // and never queues them.
                    if (session_->wantsFrame())
                        deliver(*frame);
                    av_frame_unref(frame.get());
                }
            }
            av_packet_unref(packet.get());
        }
    }

    void endOfStream(int error)
    {
        if (session_->stopRequested())
            return;
        if (interrupt_.expired() || error == AVERROR(ETIMEDOUT))
            fail("The stream from " + session_->address() + " stopped");
        else if (error == AVERROR_EOF)
            session_->deliverState(DecodeSession::State::Ended, "The stream from " + session_->address() + " ended");
        else
            fail("The stream from " + session_->address() + " broke: " + ErrorText(error));
    }

    // The picture at its own size, for a snapshot the control asked for.
    void deliverFullFrame(const AVFrame& frame)
    {
        fullScaler_.reset(sws_getCachedContext(fullScaler_.release(), frame.width, frame.height,
                                               static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                                               AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
        QImage picture(frame.width, frame.height, QImage::Format_RGB32);
        if (!fullScaler_ || picture.isNull())
            return;
        uint8_t* planes[4] = {picture.bits(), nullptr, nullptr, nullptr};
        int strides[4] = {static_cast<int>(picture.bytesPerLine()), 0, 0, 0};
        sws_scale(fullScaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
        session_->deliverFullFrame(std::move(picture));
    }

    // One scale and colour conversion, straight from the decoder's planes
    // into a picture of the size the control shows: no full-size copy.
    void deliver(const AVFrame& frame)
    {
        if (frame.width <= 0 || frame.height <= 0)
            return;
        // A stream joined between key frames shows nothing until the next one.
        if (!shownFirst_) {
            if (!frame.key_frame)
                return;
            shownFirst_ = true;
            firstPts_ = frame.best_effort_timestamp;
        } else if (!described_) {
            // At the second picture: by then the frame rate is known.
            described_ = true;
            const std::string info = describe(frame);
            Trace("info address=%s text=%s", session_->address().c_str(), info.c_str());
            session_->setInfo(info);
        }
        if (session_->fullFrameWanted())
            deliverFullFrame(frame);
        const QSize size = FitInto(frame.width, frame.height, session_->targetSize());
        // A sub stream shrunk to half or less, as on a wall's tile, takes the
        // cheaper two-tap filter; a main stream, the one to judge focus by,
        // keeps the full one at every size.
        const bool shrinking = size.width() * 2 <= frame.width && frame.width * frame.height <= 1280 * 720;
        scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                           static_cast<AVPixelFormat>(frame.format), size.width(), size.height(),
                                           AV_PIX_FMT_BGRA, shrinking ? SWS_FAST_BILINEAR : SWS_BILINEAR, nullptr,
                                           nullptr, nullptr));
        if (!scaler_)
            return;
        QImage picture(size, QImage::Format_RGB32);
        if (picture.isNull())
            return;
        uint8_t* planes[4] = {picture.bits(), nullptr, nullptr, nullptr};
        int strides[4] = {static_cast<int>(picture.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
        session_->deliverFrame(std::move(picture));
    }

    bool fail(const std::string& why)
    {
        session_->deliverState(DecodeSession::State::Failed, why);
        return false;
    }

    std::shared_ptr<DecodeSession> session_;
    std::string url_;
    onvif::Credentials login_;
    Interrupt interrupt_{};
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecCloser> codec_;
    std::unique_ptr<SwsContext, ScalerFreer> scaler_;
    std::unique_ptr<SwsContext, ScalerFreer> fullScaler_;
    int videoStream_ = -1;
    Transport transport_ = FirstTransport();
    bool gotPacket_ = false;
    bool toldWaiting_ = false;
    bool shownFirst_ = false;
    bool described_ = false;
    int64_t firstPts_ = AV_NOPTS_VALUE;
    Clock::time_point openedAt_;
};

}  // namespace

bool StreamDecoder::Start(std::shared_ptr<DecodeSession> session)
{
    static std::once_flag network;
    std::call_once(network, [] {
        avformat_network_init();
        // The control shows what went wrong; FFmpeg's own lines would only
        // litter the host's terminal.
        av_log_set_level(AV_LOG_FATAL);
    });
    try {
        std::thread([session] {
            // Named, so that a leak check or a profiler tells them apart.
            pthread_setname_np(pthread_self(), "vidra-decode");
            Player(session).run();
        }).detach();
        return true;
    } catch (const std::system_error&) {
        session->deliverState(DecodeSession::State::Failed, "The stream could not be started");
        return false;
    }
}

}  // namespace vidra
