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
    Teller(OperatorPrompt* next, CancelToken* cancel) : next_(next), cancel_(cancel) {}
    void showMessage(const char* text) override
    {
        told = text;
        if (next_ != nullptr)
            next_->showMessage(text);
    }
    CancelToken* cancel() const { return cancel_; }
    std::string told;

private:
    OperatorPrompt* next_;
    CancelToken* cancel_;
};

// The process's context: its prompt as ShowOperatorMessage finds it.
Teller ProcessTeller() { return Teller(&CurrentOperatorPrompt(), nullptr); }

// Connects, then sends each frame with one send. On a failed send the socket
// is closed first and the message shown after; nothing more is sent.
bool SendFrames(Teller& tell, const char* address, const FrameStep* steps, size_t count, int pauseBeforeClose_ms = 0)
{
    Socket channel;
    if (OpenCommandChannel(address, kLinkIpcError, channel, &tell, tell.cancel()) != ChannelOpen::Connected)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (!steps[i].frame->sendOn(channel)) {
            channel.close();
            tell.showMessage(steps[i].failureMessage);
            return false;
        }
    }
    if (pauseBeforeClose_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseBeforeClose_ms));
    channel.close();
    tell.showMessage(kIpcWillRestart);
    return true;
}

bool SendFrames(const char* address, const FrameStep* steps, size_t count, int pauseBeforeClose_ms = 0)
{
    Teller tell = ProcessTeller();
    return SendFrames(tell, address, steps, count, pauseBeforeClose_ms);
}

bool RefuseTooLong()
{
    ShowOperatorMessage(kCommandTooLong);
    return false;
}

bool SendNetworkChange(Teller& tell, const char* address, const char* newAddress, const char* mac)
{
    if (newAddress != nullptr && std::strlen(newAddress) > kMaxAddressText) {
        tell.showMessage(kIpError);
        return false;
    }
    // The colon form needs exactly twelve characters, so a shorter MAC is
    // refused like a longer one.
    if (mac != nullptr && std::strlen(mac) != kMacText) {
        tell.showMessage(kMacError);
        return false;
    }

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
    return SendFrames(tell, address, steps, count);
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

bool SetIpcUid(const char* address, const char* uid)
{
    CommandFrame uidFrame;
    CommandFrame closing;
    if (!uidFrame.format("#3&4&%s#", uid) || !closing.format("#3&0&%s#", address))
        return RefuseTooLong();
    const FrameStep steps[] = {{&uidFrame, kSendDataError}, {&closing, kClosingFrameError}};
    return SendFrames(address, steps, 2);
}

bool SetIpcKeyId(const char* address, int keyId)
{
    CommandFrame keyFrame;
    keyFrame.format("#3&5&%d#", keyId);
    const FrameStep steps[] = {{&keyFrame, kSendDataError}};
    return SendFrames(address, steps, 1, kKeyIdSettle_ms);
}

bool SetIpcXY(const char* address, int x, int y)
{
    CommandFrame xyFrame;
    CommandFrame closing;
    xyFrame.format("#3&3&%d&%d#", x, y);
    if (!closing.format("#3&0&%s#", address))
        return RefuseTooLong();
    const FrameStep steps[] = {{&xyFrame, kSendDataError}, {&closing, kClosingFrameError}};
    return SendFrames(address, steps, 2);
}

bool SetIpcNet(const char* address, const char* newAddress, const char* mac)
{
    Teller tell = ProcessTeller();
    return SendNetworkChange(tell, address, newAddress, mac);
}

SettingOutcome ChangeNetwork(const CommandContext& context, const char* address, const char* newAddress,
                             const char* mac)
{
    Teller tell(context.prompt, context.cancel);
    const bool sent = SendNetworkChange(tell, address, newAddress, mac);
    return {sent, tell.told};
}

}  // namespace orvane
