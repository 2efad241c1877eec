#include "diagnosis/AnswerTap.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace orvane {
namespace {

// Room for the answers of a few hundred cameras while the search runs.
constexpr int kQueueBytes = 4 << 20;

// Keeps only unfragmented UDP datagrams to port (offsets from the IP header).
void AttachPortFilter(int fd, unsigned short port)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IPPROTO_UDP, 0, 6),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 0x1fff, 4, 0),
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, port, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

}  // namespace

AnswerTap::AnswerTap(unsigned short port) : port_(port)
{
    fd_ = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_IP));
    if (fd_ < 0)
        return;
    AttachPortFilter(fd_, port);
    // Past the system's limit needs CAP_NET_ADMIN; else as much as the limit allows.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kQueueBytes, sizeof kQueueBytes) != 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kQueueBytes, sizeof kQueueBytes);
}

AnswerTap::~AnswerTap()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::vector<TappedDatagram> AnswerTap::drain()
{
    std::vector<TappedDatagram> heard;
    unsigned char packet[2048];
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            ::recvfrom(fd_, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0)
            return heard;
        if (from.sll_pkttype == PACKET_OUTGOING || got < static_cast<ssize_t>(sizeof(iphdr)))
            continue;
        iphdr ip{};
        std::memcpy(&ip, packet, sizeof ip);
        const size_t headerLength = static_cast<size_t>(ip.ihl) * 4;
        if (ip.version != 4 || ip.protocol != IPPROTO_UDP || static_cast<size_t>(got) < headerLength + sizeof(udphdr))
            continue;
        udphdr udp{};
        std::memcpy(&udp, packet + headerLength, sizeof udp);
        if (ntohs(udp.dest) != port_)
            continue;
        char name[IF_NAMESIZE] = {};
        TappedDatagram datagram{ntohl(ip.saddr), ::if_indextoname(static_cast<unsigned>(from.sll_ifindex), name) ? name : ""};
        const bool known = std::any_of(heard.begin(), heard.end(), [&datagram](const TappedDatagram& d) {
            return d.source == datagram.source && d.link == datagram.link;
        });
        if (!known)
            heard.push_back(datagram);
    }
}

}  // namespace orvane
