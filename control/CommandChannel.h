#pragma once
// The command channel: one TCP connection to the camera's command port per
// operation, opened here and closed by the operation when it ends.

#include "job/JobContext.h"
#include "net/Socket.h"

namespace orvane {

constexpr unsigned short kCommandPort = 16101;

enum class ChannelOpen {
    Connected,
    NoSocket,  // the socket could not be created; nobody is told
    Failed,    // the connection failed; the context's prompt has been told
};

// Creates a TCP socket and connects it to address:16101 along the context's
// path, cancelled by its token. When the connection fails, linkErrorMessage
// is told first and the socket closed after it; an address that is not
// dotted decimal never connects.
ChannelOpen OpenCommandChannel(const JobContext& context, const char* address, const char* linkErrorMessage,
                               Socket& channel);

}  // namespace orvane
