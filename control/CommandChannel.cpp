#include "control/CommandChannel.h"

#include "platform/OperatorPrompt.h"

namespace orvane {

ChannelOpen OpenCommandChannel(const char* address, const char* linkErrorMessage, Socket& channel)
{
    sockaddr_in camera = MakeAddress(address != nullptr ? address : "", kCommandPort);
    channel = Socket::tcp();
    if (!channel.valid())
        return ChannelOpen::NoSocket;
    if (!channel.connectTo(camera)) {
        ShowOperatorMessage(linkErrorMessage);
        channel.close();
        return ChannelOpen::Failed;
    }
    return ChannelOpen::Connected;
}

}  // namespace orvane
