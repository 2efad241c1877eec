// The link a connection leaves through: on a network of its own with
// loopback and a veth link (whose packets to loopback addresses are dropped as martians), a connection to a
// loopback listener arrives when it follows the routing table or is sent
// out of lo, and never arrives when sent out of the veth link, whatever the
// routing table says.

#include "control/CommandChannel.h"
#include "platform/ConnectLink.h"
#include "net/Socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <thread>

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

TEST(ConnectLink, TheCommandChannelTakesTheThreadsLink)
{
    const Socket listener = Listener(kCommandPort);
    Socket channel;
    {
        const ScopedLink heardOn("lo");
        EXPECT_EQ(OpenCommandChannel("127.0.0.1", "Link IPC error", channel), ChannelOpen::Connected);
    }
    char bound[16] = {};
    socklen_t length = sizeof bound;
    ASSERT_EQ(::getsockopt(channel.fd(), SOL_SOCKET, SO_BINDTODEVICE, bound, &length), 0);
    EXPECT_STREQ(bound, "lo");
}

TEST(ConnectLink, ScopesNestAndStayOnTheirThread)
{
    EXPECT_EQ(CurrentLink(), "");
    {
        const ScopedLink outer("eth1");
        {
            const ScopedLink inner("wlan0");
            EXPECT_EQ(CurrentLink(), "wlan0");
            std::string elsewhere = "unset";
            std::thread([&elsewhere] { elsewhere = CurrentLink(); }).join();
            EXPECT_EQ(elsewhere, "");
        }
        EXPECT_EQ(CurrentLink(), "eth1");
    }
    EXPECT_EQ(CurrentLink(), "");
}

}  // namespace
}  // namespace orvane
