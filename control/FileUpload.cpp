#include "control/FileUpload.h"

#include "control/CommandChannel.h"
#include "control/CommandFrame.h"
#include "control/FileDigest.h"
#include "control/OpenFile.h"
#include "process/JobReports.h"
#include "process/OperatorPrompt.h"
#include "process/ProtocolTiming.h"
#include "process/Text.h"

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

const UploadKind& KindOf(UploadRoutine routine)
{
    switch (routine) {
    case UploadRoutine::Kind2: return kKind2;
    case UploadRoutine::Kind4: return kKind4;
    case UploadRoutine::OnvifIps: return kOnvif;
    }
    return kKind4;
}

// One upload's way out: its reports, and the reason it stopped, told to the
// context's prompt and kept for the caller. It is the prompt the command
// channel tells, so a link error keeps its place before the close.
class UploadRun : public OperatorPrompt {
public:
    explicit UploadRun(const JobContext& context) : context_(context.tellingTo(this)), next_(context.prompt) {}

    void showMessage(const char* text) override { tell(text); }

    void report(const JobReport& r) const { context_.report(r); }
    void tell(const char* message)
    {
        outcome.failure = message;
        if (next_ != nullptr)
            next_->showMessage(message);
    }
    // The context the command channel is opened in: it tells this run.
    const JobContext& context() const { return context_; }

    UploadOutcome outcome;

private:
    JobContext context_;
    OperatorPrompt* next_;
};

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
bool Abandon(Socket& channel, UploadRun& run, const char* message, OpenFile& file)
{
    channel.close();
    run.tell(message);
    file.reset();
    return false;
}

bool Upload(const UploadKind& kind, const char* path, const char* address, UploadRun& run)
{
    int lastReported = 0;
    const ProtocolTiming timing = CurrentProtocolTiming();
    if (TooLargeOnDisk(path)) {
        run.tell(kUploadTooLarge);
        return false;
    }

    Socket channel;
    if (OpenCommandChannel(run.context(), address, kind.linkErrorMessage, channel) != ChannelOpen::Connected)
        return false;
    SetUploadTimeouts(channel, kind, timing);

    OpenFile file = OpenForUpload(path);
    if (!file) {
        channel.close();
        run.tell(kUploadOpenError);
        return false;
    }

    char digest[kDigestTextLength + 1] = {};
    if (GetFileMd5(path, digest) != kDigestTextLength)
        return Abandon(channel, run, kUploadReadError, file);

    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return Abandon(channel, run, kUploadReadError, file);
    long measured = std::ftell(file.get());
    if (measured < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return Abandon(channel, run, kUploadReadError, file);
    if (measured > kMaxUploadSize)
        return Abandon(channel, run, kUploadTooLarge, file);
    const long size = measured;

    CommandFrame header;
    header.format("#%d&%ld&%s#", kind.kind, size, digest);
    if (!header.sendOn(channel))
        return Abandon(channel, run, kUploadSendError, file);

    char chunk[kUploadChunkSize];
    long remaining = size;
    while (remaining > 0) {
        const long length = remaining < kUploadChunkSize ? remaining : kUploadChunkSize;
        if (!ReadFully(file.get(), chunk, static_cast<size_t>(length)))
            return Abandon(channel, run, kUploadReadError, file);
        if (!channel.sendAll(chunk, static_cast<size_t>(length)))
            return Abandon(channel, run, kUploadSendError, file);
        // Counts the bytes before this chunk, so the last chunk never shows 1000.
        int permille = UploadPermille(size - remaining, size);
        if (permille > lastReported) {
            run.report(JobReport::Progress(kind.job, permille));
            lastReported = permille;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.chunkPause_ms));
        remaining -= length;
    }

    char reply[kUploadReplySize + 1] = {};
    const int result = UploadResult(kind.reply, reply, channel.receive(reply, kUploadReplySize));

    // The camera sees the connection close only after the operator has
    // dismissed the result the progress window shows for this report.
    run.outcome.finished = true;
    run.outcome.result = result;
    run.report(JobReport::Finished(kind.job, result));
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

bool IsAcceptedReply(long result) { return result == 1 || result == kOnvifAccepted; }

UploadOutcome UploadFile(const JobContext& context, UploadRoutine routine, const char* path, const char* address)
{
    UploadRun run(context);
    Upload(KindOf(routine), path, address, run);
    return run.outcome;
}

bool UpdateIpcKind2(const char* path, const char* address)
{
    return UploadFile(JobContext::Process(), UploadRoutine::Kind2, path, address).finished;
}

bool UpdateIpcKind4(const char* path, const char* address)
{
    return UploadFile(JobContext::Process(), UploadRoutine::Kind4, path, address).finished;
}

bool UpdateIpcOnvifIps(const char* path, const char* address)
{
    return UploadFile(JobContext::Process(), UploadRoutine::OnvifIps, path, address).finished;
}

}  // namespace orvane
