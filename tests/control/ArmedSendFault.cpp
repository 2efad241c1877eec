// The executable's own send() comes before the C library's for every caller
// in it, the core included; disarmed, it passes every call on.
#include "tests/control/ArmedSendFault.h"

#include <dlfcn.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>

namespace {

using SendFunction = ssize_t (*)(int, const void*, size_t, int);

std::atomic<long> g_failingCall{0};
std::atomic<long> g_callsSinceArmed{0};

}  // namespace

namespace orvane::test {

ArmedSendFault::ArmedSendFault(long failingCall)
{
    g_callsSinceArmed = 0;
    g_failingCall = failingCall;
}

ArmedSendFault::~ArmedSendFault() { g_failingCall = 0; }

}  // namespace orvane::test

extern "C" ssize_t send(int fd, const void* data, size_t length, int flags)
{
    static const auto realSend = reinterpret_cast<SendFunction>(dlsym(RTLD_NEXT, "send"));
    const long failing = g_failingCall.load();
    if (failing > 0 && ++g_callsSinceArmed == failing) {
        errno = ECONNRESET;
        return -1;
    }
    return realSend(fd, data, length, flags);
}
