#pragma once
// The command channel: one TCP connection to the camera's command port per
// operation, opened here and closed by the operation when it ends.

#include "net/Socket.h"

namespace orvane {

class CancelToken;
class OperatorPrompt;

constexpr unsigned short kCommandPort = 16101;

enum class ChannelOpen {
    Connected,
    NoSocket,  // the socket could not be created; nobody is told
    Failed,    // the connection failed; the operator has been told
};

// Creates a TCP socket and connects it to address:16101. When the connection
// fails, linkErrorMessage is shown first and the socket closed after it; an
// address that is not dotted decimal never connects. Inside a ScopedLink the
// connection leaves through that link.
ChannelOpen OpenCommandChannel(const char* address, const char* linkErrorMessage, Socket& channel);

// The same for a caller that names whom to tell (nullptr: nobody) and the
// token that cancels the connection (nullptr: none).
ChannelOpen OpenCommandChannel(const char* address, const char* linkErrorMessage, Socket& channel,
                               OperatorPrompt* prompt, CancelToken* cancel);

}  // namespace orvane
