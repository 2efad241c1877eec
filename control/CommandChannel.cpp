#include "control/CommandChannel.h"

namespace orvane {

ChannelOpen OpenCommandChannel(const JobContext& context, const char* address, const char* linkErrorMessage,
                               Socket& channel)
{
    sockaddr_in camera = MakeAddress(address != nullptr ? address : "", kCommandPort);
    channel = Socket::tcp();
    if (!channel.valid())
        return ChannelOpen::NoSocket;
    channel.cancelWith(context.cancel);
    // A link that has gone since the camera answered leaves the routing
    // table to find the way, as for a camera added by hand.
    if (!context.path.interfaceName.empty())
        channel.leaveThrough(context.path.interfaceName.c_str());
    if (context.path.source != 0) {
        sockaddr_in from = MakeAnyAddress(0);
        from.sin_addr.s_addr = htonl(context.path.source);
        channel.bindTo(from);
    }
    if (!channel.connectTo(camera)) {
        context.tell(linkErrorMessage);
        channel.close();
        return ChannelOpen::Failed;
    }
    return ChannelOpen::Connected;
}

}  // namespace orvane
