#include "tools/ipc-sim/LinkAddress.h"

#include "net/IPv4.h"
#include "net/Socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

namespace orvane::sim {
namespace {

struct Interface {
    unsigned index = 0;
    int prefix = 0;
};

bool FindInterface(in_addr address, Interface& found)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask)
            continue;
        const auto* local = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (local->sin_addr.s_addr != address.s_addr)
            continue;
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        found.index = ::if_nametoindex(entry->ifa_name);
        found.prefix = std::popcount(mask->sin_addr.s_addr);
        return found.index != 0;
    }
    return false;
}

struct AddRequest {
    nlmsghdr header;
    ifaddrmsg message;
    char attributes[2 * RTA_SPACE(sizeof(in_addr))];
};

void PutAddress(AddRequest& request, unsigned short type, in_addr address)
{
    auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
    attribute->rta_type = type;
    attribute->rta_len = RTA_LENGTH(sizeof address);
    std::memcpy(RTA_DATA(attribute), &address, sizeof address);
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_SPACE(sizeof address);
}

// The kernel's answer to a request with NLM_F_ACK: 0 or a negative errno.
int ReadAck(const Socket& link)
{
    alignas(nlmsghdr) char answer[4096];
    const ssize_t got = ::recv(link.fd(), answer, sizeof answer, 0);
    if (got < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr))))
        return -EIO;
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
    if (header->nlmsg_type != NLMSG_ERROR)
        return -EIO;
    return reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(header))->error;
}

int SendAdd(const Interface& where, in_addr address)
{
    Socket link(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!link.valid())
        return -errno;
    AddRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = RTM_NEWADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL;
    request.message.ifa_family = AF_INET;
    request.message.ifa_prefixlen = static_cast<unsigned char>(where.prefix);
    request.message.ifa_index = where.index;
    PutAddress(request, IFA_LOCAL, address);
    PutAddress(request, IFA_ADDRESS, address);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(link.fd(), &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0)
        return -errno;
    return ReadAck(link);
}

}  // namespace

bool IsUnicastAddress(const std::string& dotted)
{
    uint32_t host = 0;
    if (!ParseIPv4(dotted.c_str(), host))
        return false;
    const uint32_t first = host >> 24;
    return first != 0 && first != 127 && first < 224;
}

bool AddAddressBeside(const std::string& existing, const std::string& added, std::string& error)
{
    uint32_t from = 0;
    uint32_t to = 0;
    if (!ParseIPv4(existing.c_str(), from) || !ParseIPv4(added.c_str(), to)) {
        error = "not-an-address";
        return false;
    }
    Interface where;
    if (!FindInterface(in_addr{htonl(from)}, where)) {
        error = "no-interface-holds-" + existing;
        return false;
    }
    const int result = SendAdd(where, in_addr{htonl(to)});
    if (result == 0 || result == -EEXIST)
        return true;
    error = std::strerror(-result);
    for (char& c : error) {
        if (c == ' ')
            c = '-';
    }
    return false;
}

}  // namespace orvane::sim
