// Socket::sendAll against a peer on a socket pair with small buffers: a peer
// that reads slowly but steadily is waited for however long the whole takes;
// one that stops reading ends the send after about the send time-out.

#include "net/Socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSendTimeout_ms = 300;
constexpr size_t kPayload = 48 * 1024;

struct Pair {
    Pair()
    {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        sender = Socket(fds[0]);
        peer = fds[1];
        int small = 4096;
        ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        ::setsockopt(fds[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sender.setTimeouts_ms(kSendTimeout_ms, kSendTimeout_ms);
    }
    ~Pair() { ::close(peer); }
    Socket sender;
    int peer = -1;
};

TEST(SocketSendAll, SlowButSteadyPeerGetsEveryByteLongAfterTheTimeOut)
{
    Pair pair;
    std::atomic<size_t> received{0};
    std::thread reader([&] {
        char piece[1024];
        while (received < kPayload) {
            std::this_thread::sleep_for(20ms);
            ssize_t n = ::recv(pair.peer, piece, sizeof piece, 0);
            if (n <= 0)
                break;
            received += static_cast<size_t>(n);
        }
    });
    const std::string data(kPayload, 'x');
    const auto start = Clock::now();
    EXPECT_TRUE(pair.sender.sendAll(data.data(), data.size()));
    const auto took = Clock::now() - start;
    reader.join();
    EXPECT_EQ(received.load(), kPayload);
    // Otherwise the case shows nothing: the whole must outlast the time-out.
    EXPECT_GT(took, 2 * std::chrono::milliseconds(kSendTimeout_ms));
}

TEST(SocketSendAll, StalledPeerEndsTheSendAfterAboutTheTimeOut)
{
    Pair pair;
    const std::string data(kPayload, 'x');
    const auto start = Clock::now();
    EXPECT_FALSE(pair.sender.sendAll(data.data(), data.size()));
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(kSendTimeout_ms));
    EXPECT_LT(took, 3 * std::chrono::milliseconds(kSendTimeout_ms) + 200ms);
}

}  // namespace
}  // namespace orvane
