#include "control/FileUpload.h"

#include "control/CommandChannel.h"
#include "control/CommandFrame.h"
#include "control/FileDigest.h"
#include "control/OpenFile.h"
#include "platform/JobReports.h"
#include "platform/OperatorPrompt.h"
#include "platform/ProtocolTiming.h"
#include "platform/Text.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace orvane {
namespace {

struct UploadKind {
    int kind;
    JobKind job;
    const char* linkErrorMessage;
    ReplyMeaning reply;
};

constexpr UploadKind kKind2{2, JobKind::Firmware, kLinkIpcErrorUpper, ReplyMeaning::Number};
constexpr UploadKind kKind4{4, JobKind::Firmware, kLinkIpcErrorLower, ReplyMeaning::Number};
constexpr UploadKind kOnvif{6, JobKind::AddressList, kLinkIpcErrorUpper, ReplyMeaning::AlwaysAccepted};

// The address-list camera's 5 s send and receive time-outs; the firmware
// cameras' bounds on a stalled send and a missing reply.
void SetUploadTimeouts(Socket& channel, const UploadKind& kind, const ProtocolTiming& timing)
{
    if (kind.job == JobKind::AddressList)
        channel.setTimeouts_ms(timing.onvifSendTimeout_ms, timing.onvifSendTimeout_ms);
    else
        channel.setTimeouts_ms(timing.firmwareSendStall_ms, timing.firmwareReplyWait_ms);
}

bool TooLargeOnDisk(const char* path)
{
    struct stat status {};
    return ::stat(path, &status) == 0 && status.st_size > kMaxUploadSize;
}

// Fills the whole buffer from the file; false when a read gives nothing first.
bool ReadFully(std::FILE* file, char* buffer, size_t length)
{
    size_t got = 0;
    while (got < length) {
        size_t n = std::fread(buffer + got, 1, length - got, file);
        if (n == 0)
            return false;
        got += n;
    }
    return true;
}

// The socket goes first, then the operator is told, then the file is closed.
bool Abandon(Socket& channel, const char* message, OpenFile& file)
{
    channel.close();
    ShowOperatorMessage(message);
    file.reset();
    return false;
}

bool Upload(const UploadKind& kind, const char* path, const char* address)
{
    int lastReported = 0;
    const ProtocolTiming timing = CurrentProtocolTiming();
    if (TooLargeOnDisk(path)) {
        ShowOperatorMessage(kUploadTooLarge);
        return false;
    }

    Socket channel;
    if (OpenCommandChannel(address, kind.linkErrorMessage, channel) != ChannelOpen::Connected)
        return false;
    SetUploadTimeouts(channel, kind, timing);

    OpenFile file = OpenForUpload(path);
    if (!file) {
        channel.close();
        ShowOperatorMessage(kUploadOpenError);
        return false;
    }

    char digest[kDigestTextLength + 1] = {};
    if (GetFileMd5(path, digest) != kDigestTextLength)
        return Abandon(channel, kUploadReadError, file);

    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return Abandon(channel, kUploadReadError, file);
    long measured = std::ftell(file.get());
    if (measured < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return Abandon(channel, kUploadReadError, file);
    if (measured > kMaxUploadSize)
        return Abandon(channel, kUploadTooLarge, file);
    const long size = measured;

    CommandFrame header;
    header.format("#%d&%ld&%s#", kind.kind, size, digest);
    if (!header.sendOn(channel))
        return Abandon(channel, kUploadSendError, file);

    char chunk[kUploadChunkSize];
    long remaining = size;
    while (remaining > 0) {
        const long length = remaining < kUploadChunkSize ? remaining : kUploadChunkSize;
        if (!ReadFully(file.get(), chunk, static_cast<size_t>(length)))
            return Abandon(channel, kUploadReadError, file);
        if (!channel.sendAll(chunk, static_cast<size_t>(length)))
            return Abandon(channel, kUploadSendError, file);
        // Counts the bytes before this chunk, so the last chunk never shows 1000.
        int permille = UploadPermille(size - remaining, size);
        if (permille > lastReported) {
            ReportJob(JobReport::Progress(kind.job, permille));
            lastReported = permille;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.chunkPause_ms));
        remaining -= length;
    }

    char reply[kUploadReplySize + 1] = {};
    const int result = UploadResult(kind.reply, reply, channel.receive(reply, kUploadReplySize));

    // The camera sees the connection close only after the operator has
    // dismissed the result the progress window shows for this report.
    ReportJob(JobReport::Finished(kind.job, result));
    channel.close();
    file.reset();
    return true;
}

}  // namespace

int UploadPermille(int64_t sent, int64_t size)
{
    const float ratio = static_cast<float>(static_cast<double>(sent) / static_cast<double>(size));
    return static_cast<int>(static_cast<double>(ratio) * 1000.0);
}

int UploadResult(ReplyMeaning meaning, const char (&reply)[kUploadReplySize + 1], ssize_t received)
{
    if (received <= 0)
        return kUploadNoReply;
    return meaning == ReplyMeaning::Number ? ReadDecimal(reply) : kOnvifAccepted;
}

bool UpdateIpcKind2(const char* path, const char* address) { return Upload(kKind2, path, address); }

bool UpdateIpcKind4(const char* path, const char* address) { return Upload(kKind4, path, address); }

bool UpdateIpcOnvifIps(const char* path, const char* address) { return Upload(kOnvif, path, address); }

}  // namespace orvane
