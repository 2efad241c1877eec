#include "control/CommandChannel.h"

#include "platform/OperatorPrompt.h"

namespace orvane {

ChannelOpen OpenCommandChannel(const char* address, const char* linkErrorMessage, Socket& channel)
{
    return OpenCommandChannel(address, linkErrorMessage, channel, &CurrentOperatorPrompt(), nullptr);
}

ChannelOpen OpenCommandChannel(const char* address, const char* linkErrorMessage, Socket& channel,
                               OperatorPrompt* prompt, CancelToken* cancel)
{
    sockaddr_in camera = MakeAddress(address != nullptr ? address : "", kCommandPort);
    channel = Socket::tcp();
    if (!channel.valid())
        return ChannelOpen::NoSocket;
    channel.cancelWith(cancel);
    if (!channel.connectTo(camera)) {
        if (prompt != nullptr)
            prompt->showMessage(linkErrorMessage);
        channel.close();
        return ChannelOpen::Failed;
    }
    return ChannelOpen::Connected;
}

}  // namespace orvane
