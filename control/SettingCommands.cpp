#include "control/SettingCommands.h"

#include "control/CommandChannel.h"
#include "control/CommandFrame.h"
#include "process/OperatorPrompt.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace orvane {
namespace {

struct FrameStep {
    const CommandFrame* frame;
    const char* failureMessage;
};

// What a command tells: kept as its outcome's message and passed on to the
// context's prompt, if any. The command channel tells it too, so a link
// error keeps its place before the close.
class Teller : public OperatorPrompt {
public:
    explicit Teller(const JobContext& context) : context_(context.tellingTo(this)), next_(context.prompt) {}
    void showMessage(const char* text) override
    {
        outcome.message = text;
        if (next_ != nullptr)
            next_->showMessage(text);
    }
    const JobContext& context() const { return context_; }
    SettingOutcome outcome;

private:
    JobContext context_;
    OperatorPrompt* next_;
};

// Connects, then sends each frame with one send. On a failed send the socket
// is closed first and the message shown after; nothing more is sent.
SettingOutcome SendFrames(const JobContext& context, const char* address, const FrameStep* steps, size_t count,
                          int pauseBeforeClose_ms = 0)
{
    Teller tell(context);
    Socket channel;
    if (OpenCommandChannel(tell.context(), address, kLinkIpcError, channel) != ChannelOpen::Connected)
        return tell.outcome;
    for (size_t i = 0; i < count; ++i) {
        if (!steps[i].frame->sendOn(channel)) {
            channel.close();
            tell.showMessage(steps[i].failureMessage);
            return tell.outcome;
        }
    }
    if (pauseBeforeClose_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseBeforeClose_ms));
    channel.close();
    tell.showMessage(kIpcWillRestart);
    tell.outcome.sent = true;
    return tell.outcome;
}

SettingOutcome Refuse(const JobContext& context, const char* message)
{
    context.tell(message);
    return {false, message};
}

}  // namespace

void MacColonForm(const char* mac, char (&out)[kMacColonText + 1])
{
    size_t o = 0;
    for (size_t i = 0; i < kMacText; ++i) {
        out[o++] = mac[i];
        if (i % 2 == 1 && i + 1 < kMacText)
            out[o++] = ':';
    }
    out[o] = '\0';
}

SettingOutcome SetUid(const JobContext& context, const char* address, const char* uid)
{
    CommandFrame uidFrame;
    CommandFrame closing;
    if (!uidFrame.format("#3&4&%s#", uid) || !closing.format("#3&0&%s#", address))
        return Refuse(context, kCommandTooLong);
    const FrameStep steps[] = {{&uidFrame, kSendDataError}, {&closing, kClosingFrameError}};
    return SendFrames(context, address, steps, 2);
}

SettingOutcome SetKeyId(const JobContext& context, const char* address, int keyId)
{
    CommandFrame keyFrame;
    keyFrame.format("#3&5&%d#", keyId);
    const FrameStep steps[] = {{&keyFrame, kSendDataError}};
    return SendFrames(context, address, steps, 1, kKeyIdSettle_ms);
}

SettingOutcome SetXY(const JobContext& context, const char* address, int x, int y)
{
    CommandFrame xyFrame;
    CommandFrame closing;
    xyFrame.format("#3&3&%d&%d#", x, y);
    if (!closing.format("#3&0&%s#", address))
        return Refuse(context, kCommandTooLong);
    const FrameStep steps[] = {{&xyFrame, kSendDataError}, {&closing, kClosingFrameError}};
    return SendFrames(context, address, steps, 2);
}

SettingOutcome SetNetwork(const JobContext& context, const char* address, const char* newAddress, const char* mac)
{
    if (newAddress != nullptr && std::strlen(newAddress) > kMaxAddressText)
        return Refuse(context, kIpError);
    // The colon form needs exactly twelve characters, so a shorter MAC is
    // refused like a longer one.
    if (mac != nullptr && std::strlen(mac) != kMacText)
        return Refuse(context, kMacError);

    FrameStep steps[3];
    size_t count = 0;
    CommandFrame addressFrame;
    CommandFrame macFrame;
    CommandFrame closing;
    if (newAddress != nullptr) {
        addressFrame.format("#3&1&%s#", newAddress);
        steps[count++] = {&addressFrame, kSendDataError};
    }
    if (mac != nullptr) {
        char colonForm[kMacColonText + 1];
        MacColonForm(mac, colonForm);
        macFrame.format("#3&2&%s#", colonForm);
        steps[count++] = {&macFrame, kSendDataError};
    }
    closing.format("#3&0&%s#", mac != nullptr ? mac : kNoMacText);
    steps[count++] = {&closing, kSendDataError};
    return SendFrames(context, address, steps, count);
}

bool SetIpcUid(const char* address, const char* uid) { return SetUid(JobContext::Process(), address, uid).sent; }

bool SetIpcKeyId(const char* address, int keyId) { return SetKeyId(JobContext::Process(), address, keyId).sent; }

bool SetIpcXY(const char* address, int x, int y) { return SetXY(JobContext::Process(), address, x, y).sent; }

bool SetIpcNet(const char* address, const char* newAddress, const char* mac)
{
    return SetNetwork(JobContext::Process(), address, newAddress, mac).sent;
}

}  // namespace orvane
