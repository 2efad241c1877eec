// The link a connection leaves through: on a network of its own with
// loopback and a veth link (whose packets to loopback addresses are dropped as martians), a connection to a
// loopback listener arrives when it follows the routing table or is sent
// out of lo, and never arrives when sent out of the veth link, whatever the
// routing table says.

#include "control/CommandChannel.h"
#include "net/Socket.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

namespace orvane {
namespace {

Socket Listener(unsigned short port)
{
    Socket listener = Socket::tcp();
    int one = 1;
    ::setsockopt(listener.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    EXPECT_TRUE(listener.bindTo(MakeAddress("127.0.0.1", port)));
    EXPECT_EQ(::listen(listener.fd(), 4), 0);
    return listener;
}

struct LinkCase {
    const char* link;  // "" : no binding
    int bindError;
    bool arrives;
};

TEST(ConnectLink, TheConnectionLeavesThroughTheNamedLink)
{
    const Socket listener = Listener(40123);
    const LinkCase cases[] = {
        {"", 0, true},
        {"lo", 0, true},
        {"dm0", 0, false},
        // A link that has gone: the binding fails and the routing table decides.
        {"no-such-link", ENODEV, true},
    };
    for (const LinkCase& c : cases) {
        Socket s = Socket::tcp();
        if (*c.link != '\0') {
            EXPECT_EQ(s.leaveThrough(c.link), c.bindError) << c.link;
        }
        EXPECT_EQ(s.connectTo(MakeAddress("127.0.0.1", 40123), 400), c.arrives) << c.link;
    }
}

TEST(ConnectLink, TheCommandChannelTakesTheContextsPath)
{
    const Socket listener = Listener(kCommandPort);
    struct PathCase {
        CameraPath path;
        const char* boundTo;  // the channel's SO_BINDTODEVICE
        const char* from;     // its local address
    };
    const PathCase cases[] = {
        {{}, "", "127.0.0.1"},
        {{"lo", 0, nullptr}, "lo", "127.0.0.1"},
        {{"lo", 0x7f000063, nullptr}, "lo", "127.0.0.99"},
    };
    for (const PathCase& c : cases) {
        Socket channel;
        ASSERT_EQ(OpenCommandChannel(JobContext{}.through(c.path), "127.0.0.1", "Link IPC error", channel),
                  ChannelOpen::Connected)
            << c.path.interfaceName;
        char bound[16] = {};
        socklen_t length = sizeof bound;
        ASSERT_EQ(::getsockopt(channel.fd(), SOL_SOCKET, SO_BINDTODEVICE, bound, &length), 0);
        EXPECT_STREQ(bound, c.boundTo);
        sockaddr_in local{};
        socklen_t size = sizeof local;
        ::getsockname(channel.fd(), reinterpret_cast<sockaddr*>(&local), &size);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        EXPECT_STREQ(text, c.from);
    }
}

TEST(ConnectLink, TwoJobsOnOneThreadKeepTheirOwnPaths)
{
    const Socket listener = Listener(kCommandPort);
    const JobContext viaLo = JobContext{}.through({"lo", 0, nullptr});
    const JobContext viaTable;
    Socket first;
    Socket second;
    ASSERT_EQ(OpenCommandChannel(viaLo, "127.0.0.1", "Link IPC error", first), ChannelOpen::Connected);
    ASSERT_EQ(OpenCommandChannel(viaTable, "127.0.0.1", "Link IPC error", second), ChannelOpen::Connected);
    char bound[16] = {};
    socklen_t length = sizeof bound;
    ASSERT_EQ(::getsockopt(second.fd(), SOL_SOCKET, SO_BINDTODEVICE, bound, &length), 0);
    EXPECT_STREQ(bound, "");
}

}  // namespace
}  // namespace orvane
