#include "vidra/StillPicture.h"

#include "vidra/FfmpegHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cctype>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>

namespace vidra {
namespace {

using Clock = std::chrono::steady_clock;

using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Codec = std::unique_ptr<AVCodecContext, CodecCloser>;

// FFmpeg gives up once the deadline has passed, wherever it waits.
int PastDeadline(void* opaque)
{
    return Clock::now() > *static_cast<Clock::time_point*>(opaque) ? 1 : 0;
}

bool ToRgb(const AVFrame& frame, StillPicture& picture)
{
    if (frame.width <= 0 || frame.height <= 0)
        return false;
    std::unique_ptr<SwsContext, ScalerFreer> scaler(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
                       frame.height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    std::vector<uint8_t> rgb(static_cast<size_t>(frame.width) * frame.height * 3);
    uint8_t* planes[4] = {rgb.data(), nullptr, nullptr, nullptr};
    int strides[4] = {frame.width * 3, 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return picture.assign(frame.width, frame.height, std::move(rgb));
}

// Feeds one packet (null: the end) and takes the first key frame it gives.
bool DecodeKeyFrame(AVCodecContext* codec, const AVPacket* packet, AVFrame* frame, StillPicture& picture)
{
    if (avcodec_send_packet(codec, packet) < 0)
        return false;
    while (avcodec_receive_frame(codec, frame) >= 0) {
        const bool taken = frame->key_frame && ToRgb(*frame, picture);
        av_frame_unref(frame);
        if (taken)
            return true;
    }
    return false;
}

Codec OpenDecoder(AVCodecID id, const AVCodecParameters* parameters)
{
    const AVCodec* decoder = avcodec_find_decoder(id);
    if (decoder == nullptr)
        return nullptr;
    Codec codec(avcodec_alloc_context3(decoder));
    if (!codec || (parameters != nullptr && avcodec_parameters_to_context(codec.get(), parameters) < 0) ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return nullptr;
    return codec;
}

bool EndsWithNoCase(const std::string& text, const char* end)
{
    const size_t length = std::strlen(end);
    if (text.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - length + i])) != end[i])
            return false;
    }
    return true;
}

// PNG keeps the frame as it is; JPEG at a quality that leaves no visible blocks.
bool Encode(const StillPicture& picture, bool jpeg, std::string& encoded)
{
    const AVCodec* encoder = avcodec_find_encoder(jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_PNG);
    Codec codec(encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr);
    Frame frame(av_frame_alloc());
    Packet packet(av_packet_alloc());
    if (!codec || !frame || !packet)
        return false;
    const AVPixelFormat format = jpeg ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_RGB24;
    codec->width = picture.width();
    codec->height = picture.height();
    codec->pix_fmt = format;
    codec->time_base = {1, 25};
    if (jpeg) {
        codec->flags |= AV_CODEC_FLAG_QSCALE;
        codec->global_quality = FF_QP2LAMBDA * 3;
    }
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0)
        return false;
    frame->width = picture.width();
    frame->height = picture.height();
    frame->format = format;
    frame->quality = codec->global_quality;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return false;
    std::unique_ptr<SwsContext, ScalerFreer> scaler(sws_getContext(picture.width(), picture.height(), AV_PIX_FMT_RGB24,
                                                                   picture.width(), picture.height(), format,
                                                                   SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    const uint8_t* rows[4] = {picture.rgb().data(), nullptr, nullptr, nullptr};
    const int strides[4] = {picture.width() * 3, 0, 0, 0};
    sws_scale(scaler.get(), rows, strides, 0, picture.height(), frame->data, frame->linesize);
    if (avcodec_send_frame(codec.get(), frame.get()) < 0 || avcodec_send_frame(codec.get(), nullptr) < 0)
        return false;
    encoded.clear();
    while (avcodec_receive_packet(codec.get(), packet.get()) >= 0) {
        encoded.append(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
        av_packet_unref(packet.get());
    }
    return !encoded.empty();
}

}  // namespace

bool StillPicture::assign(int width, int height, std::vector<uint8_t> rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
        return false;
    width_ = width;
    height_ = height;
    rgb_ = std::move(rgb);
    return true;
}

bool StillPicture::IsJpegName(const std::string& path)
{
    return EndsWithNoCase(path, ".jpg") || EndsWithNoCase(path, ".jpeg");
}

StillPicture::Failure StillPicture::FromStream(const std::string& url, StillPicture& picture, std::string& error)
{
    static std::once_flag network;
    std::call_once(network, [] {
        avformat_network_init();
        // What went wrong is told by the caller; FFmpeg's own lines would
        // only litter the terminal.
        av_log_set_level(AV_LOG_FATAL);
    });
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kStreamWait_ms);
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        error = "out of memory";
        return Failure::Failed;
    }
    raw->interrupt_callback = {&PastDeadline, &deadline};
    // One picture, so over the RTSP connection itself: no UDP that a
    // firewall may drop.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "timeout", "3000000", 0);
    const int opened = avformat_open_input(&raw, url.c_str(), nullptr, &options);
    std::unique_ptr<AVDictionary, DictionaryFreer> unused(options);
    if (opened < 0) {
        error = Clock::now() > deadline ? "no answer" : ErrorText(opened);
        return opened == AVERROR_HTTP_UNAUTHORIZED ? Failure::Refused : Failure::Failed;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0 && avformat_find_stream_info(format.get(), nullptr) >= 0)
        video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        error = "no video in the stream";
        return Failure::Failed;
    }
    const AVCodecParameters* parameters = format->streams[video]->codecpar;
    Codec codec = OpenDecoder(parameters->codec_id, parameters);
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    if (!codec || !packet || !frame) {
        error = "cannot decode the stream";
        return Failure::Failed;
    }
    int read = 0;
    while ((read = av_read_frame(format.get(), packet.get())) >= 0) {
        const bool mine = packet->stream_index == video;
        const bool taken = mine && DecodeKeyFrame(codec.get(), packet.get(), frame.get(), picture);
        av_packet_unref(packet.get());
        if (taken)
            return Failure::None;
    }
    error = Clock::now() > deadline ? "no key frame within " + std::to_string(kStreamWait_ms / 1000) + " s"
                                    : "the stream ended: " + ErrorText(read);
    return Failure::Failed;
}

StillPicture::Failure StillPicture::FromJpeg(const std::string& bytes, StillPicture& picture, std::string& error)
{
    Codec codec = OpenDecoder(AV_CODEC_ID_MJPEG, nullptr);
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    if (!codec || !packet || !frame || bytes.empty() || bytes.size() > INT32_MAX ||
        av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0) {
        error = "cannot decode the JPEG";
        return Failure::Failed;
    }
    std::memcpy(packet->data, bytes.data(), bytes.size());
    if (DecodeKeyFrame(codec.get(), packet.get(), frame.get(), picture) ||
        DecodeKeyFrame(codec.get(), nullptr, frame.get(), picture))
        return Failure::None;
    error = "the camera's JPEG does not decode";
    return Failure::Failed;
}

bool StillPicture::save(const std::string& path, size_t& bytes, std::string& error) const
{
    std::string encoded;
    if (rgb_.empty() || !Encode(*this, IsJpegName(path), encoded)) {
        error = "cannot encode the picture";
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    bytes = encoded.size();
    return true;
}

}  // namespace vidra
