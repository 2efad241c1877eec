// Preloaded into a command under test to make one send() fail as a reset
// connection would, without sending anything: ORVANE_FAIL_SEND=N fails the
// Nth send() of the process. A real camera resets a connection only at
// moments no test can time, so this is how a test reaches that path.
#include <dlfcn.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace {

using SendFunction = ssize_t (*)(int, const void*, size_t, int);

std::atomic<long> g_sendCalls{0};

long FailingCall()
{
    const char* value = std::getenv("ORVANE_FAIL_SEND");
    return value != nullptr ? std::strtol(value, nullptr, 10) : 0;
}

}  // namespace

extern "C" ssize_t send(int fd, const void* data, size_t length, int flags)
{
    static const auto realSend = reinterpret_cast<SendFunction>(dlsym(RTLD_NEXT, "send"));
    static const long failingCall = FailingCall();
    if (++g_sendCalls == failingCall) {
        errno = ECONNRESET;
        return -1;
    }
    return realSend(fd, data, length, flags);
}
