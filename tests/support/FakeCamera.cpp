#include "tests/support/FakeCamera.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace orvane::test {
namespace {
constexpr size_t kFrame = 4096;
constexpr int kCameraWait_s = 10;

// Reads up to length bytes; returns how many arrived before the peer closed
// (closed set) or the wait ran out.
size_t ReadUpTo(int fd, char* buffer, size_t length, bool* closed = nullptr)
{
    size_t got = 0;
    while (got < length) {
        ssize_t n = ::recv(fd, buffer + got, length - got, 0);
        if (n <= 0) {
            if (closed)
                *closed = n == 0;
            break;
        }
        got += static_cast<size_t>(n);
    }
    return got;
}
}  // namespace

int ListenOnCommandPort(int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(16101);
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

FakeCamera::FakeCamera(Mode mode, UploadAnswer answer) : mode_(mode), answer_(std::move(answer))
{
    listener_ = ListenOnCommandPort(8);
    if (listener_ < 0) {
        std::perror("fake camera: cannot listen on 127.0.0.1:16101");
        std::abort();
    }
    thread_ = std::thread([this] { run(); });
}

FakeCamera::~FakeCamera()
{
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

void FakeCamera::setProbe(std::function<bool()> probe)
{
    std::lock_guard<std::mutex> lock(mutex_);
    probe_ = std::move(probe);
}

std::vector<CameraConnection> FakeCamera::waitForConnections(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return done_.size() >= count; });
    return done_;
}

size_t FakeCamera::acceptedAfter(std::chrono::milliseconds settle)
{
    std::this_thread::sleep_for(settle);
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

void FakeCamera::run()
{
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) != 1)
            continue;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++accepted_;
        }
        timeval wait{kCameraWait_s, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        CameraConnection connection;
        if (mode_ == Mode::Commands)
            serveCommands(fd, connection);
        else
            serveUpload(fd, connection);
        if (fd >= 0)
            ::close(fd);
        std::lock_guard<std::mutex> lock(mutex_);
        done_.push_back(std::move(connection));
        changed_.notify_all();
    }
}

void FakeCamera::serveCommands(int fd, CameraConnection& connection)
{
    std::string frame(kFrame, '\0');
    for (;;) {
        bool closed = false;
        size_t got = ReadUpTo(fd, frame.data(), kFrame, &closed);
        if (got < kFrame) {
            connection.trailingBytes = got;
            connection.sawClose = closed;
            break;
        }
        connection.frames.push_back(frame);
        connection.frameTimes.push_back(Clock::now());
    }
    connection.closedAt = Clock::now();
}

void FakeCamera::serveUpload(int fd, CameraConnection& connection)
{
    std::string header(kFrame, '\0');
    bool closed = false;
    size_t got = ReadUpTo(fd, header.data(), kFrame, &closed);
    header.resize(got);
    connection.header = header;
    if (got < kFrame) {
        connection.sawClose = closed;
        connection.closedAt = Clock::now();
        return;
    }
    int kind = 0;
    long size = 0;
    if (std::sscanf(header.c_str(), "#%d&%ld&", &kind, &size) != 2 || size < 0)
        size = 0;
    size_t wanted = static_cast<size_t>(size);
    if (answer_.kind == UploadAnswer::ResetAfterBytes && answer_.resetAfter < wanted)
        wanted = answer_.resetAfter;
    connection.data.resize(wanted);
    connection.data.resize(ReadUpTo(fd, connection.data.data(), wanted));

    switch (answer_.kind) {
    case UploadAnswer::Reply:
        ::send(fd, answer_.reply.data(), answer_.reply.size(), MSG_NOSIGNAL);
        break;
    case UploadAnswer::CloseWithoutReply:
        ::shutdown(fd, SHUT_WR);
        break;
    case UploadAnswer::NeverReply:
        break;
    case UploadAnswer::ResetAfterBytes: {
        linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        return;
    }
    }
    awaitClose(fd, connection);
}

void FakeCamera::awaitClose(int fd, CameraConnection& connection)
{
    char extra[256];
    for (;;) {
        ssize_t n = ::recv(fd, extra, sizeof extra, 0);
        if (n > 0) {
            connection.data.append(extra, static_cast<size_t>(n));
            continue;
        }
        connection.sawClose = n == 0;
        break;
    }
    connection.closedAt = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    connection.probeAtClose = probe_ && probe_();
}

}  // namespace orvane::test
