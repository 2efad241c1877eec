#include "control/CommandChannel.h"

#include "platform/ConnectLink.h"
#include "process/OperatorPrompt.h"

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
    // A link that has gone since the camera answered leaves the routing
    // table to find the way, as for a camera added by hand.
    if (const std::string& link = CurrentLink(); !link.empty())
        channel.leaveThrough(link.c_str());
    if (const uint32_t source = CurrentLinkSource(); source != 0) {
        sockaddr_in from = MakeAnyAddress(0);
        from.sin_addr.s_addr = htonl(source);
        channel.bindTo(from);
    }
    if (!channel.connectTo(camera)) {
        if (prompt != nullptr)
            prompt->showMessage(linkErrorMessage);
        channel.close();
        return ChannelOpen::Failed;
    }
    return ChannelOpen::Connected;
}

}  // namespace orvane
