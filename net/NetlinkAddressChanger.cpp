#include "net/NetlinkAddressChanger.h"

#include "net/TemporaryAddress.h"
#include "process/UniqueFd.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvane {
namespace {

constexpr uint32_t kForever = 0xFFFFFFFFu;

void AddAttribute(nlmsghdr& message, size_t capacity, unsigned short type, const void* data, size_t length)
{
    const size_t at = NLMSG_ALIGN(message.nlmsg_len);
    const size_t total = RTA_LENGTH(length);
    if (at + RTA_ALIGN(total) > capacity)
        return;
    auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&message) + at);
    attribute->rta_type = type;
    attribute->rta_len = static_cast<unsigned short>(total);
    std::memcpy(RTA_DATA(attribute), data, length);
    message.nlmsg_len = static_cast<uint32_t>(at + RTA_ALIGN(total));
}

int SendToKernel(int fd, const void* message, size_t length)
{
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return ::sendto(fd, message, length, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0 ? errno : 0;
}

// RTM_NEWADDR or RTM_DELADDR of address/32 on the link; 0 or the kernel's errno.
int ChangeAddress(unsigned short type, unsigned short flags, unsigned index, uint32_t address, int lifetime_s)
{
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (fd.get() < 0)
        return errno;
    alignas(nlmsghdr) char buffer[256] = {};
    auto& message = *reinterpret_cast<nlmsghdr*>(buffer);
    message.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    message.nlmsg_type = type;
    message.nlmsg_flags = static_cast<unsigned short>(NLM_F_REQUEST | NLM_F_ACK | flags);
    message.nlmsg_seq = 1;
    auto* ifa = static_cast<ifaddrmsg*>(NLMSG_DATA(&message));
    ifa->ifa_family = AF_INET;
    ifa->ifa_prefixlen = 32;
    ifa->ifa_scope = RT_SCOPE_UNIVERSE;
    ifa->ifa_index = index;
    const uint32_t wire = htonl(address);
    AddAttribute(message, sizeof buffer, IFA_LOCAL, &wire, sizeof wire);
    AddAttribute(message, sizeof buffer, IFA_ADDRESS, &wire, sizeof wire);
    if (type == RTM_NEWADDR) {
        ifa_cacheinfo life{};
        life.ifa_prefered = static_cast<uint32_t>(lifetime_s);
        life.ifa_valid = static_cast<uint32_t>(lifetime_s);
        AddAttribute(message, sizeof buffer, IFA_CACHEINFO, &life, sizeof life);
    }
    if (const int failed = SendToKernel(fd.get(), buffer, message.nlmsg_len))
        return failed;
    alignas(nlmsghdr) char answer[512];
    const ssize_t got = ::recv(fd.get(), answer, sizeof answer, 0);
    if (got < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr))))
        return got < 0 ? errno : EIO;
    const auto* reply = reinterpret_cast<const nlmsghdr*>(answer);
    if (reply->nlmsg_type != NLMSG_ERROR)
        return EIO;
    return -static_cast<const nlmsgerr*>(NLMSG_DATA(reply))->error;
}

// The lifetime of address/32 in one RTM_NEWADDR of a dump, when it is that address on that link.
std::optional<uint32_t> LifetimeIn(const nlmsghdr& message, unsigned index, uint32_t wire)
{
    const auto* ifa = static_cast<const ifaddrmsg*>(NLMSG_DATA(&message));
    if (message.nlmsg_type != RTM_NEWADDR || ifa->ifa_index != index || ifa->ifa_prefixlen != 32)
        return std::nullopt;
    int length = static_cast<int>(IFA_PAYLOAD(&message));
    bool matches = false;
    uint32_t valid = kForever;
    for (const rtattr* a = IFA_RTA(ifa); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == IFA_LOCAL && RTA_PAYLOAD(a) == sizeof wire)
            matches = std::memcmp(RTA_DATA(a), &wire, sizeof wire) == 0;
        if (a->rta_type == IFA_CACHEINFO && RTA_PAYLOAD(a) >= sizeof(ifa_cacheinfo))
            valid = static_cast<const ifa_cacheinfo*>(RTA_DATA(a))->ifa_valid;
    }
    return matches ? std::optional<uint32_t>(valid) : std::nullopt;
}

// Whether the link holds address/32 as a temporary address: what renew and remove may touch.
AddressChange CheckTemporary(const std::string& link, unsigned index, uint32_t address)
{
    if (index == 0)
        return {AddressChange::Outcome::Failed, "no interface named " + link};
    const std::optional<uint32_t> lifetime = HostAddressLifetime(index, address);
    if (!lifetime)
        return {AddressChange::Outcome::Failed, "no such /32 on " + link};
    if (*lifetime > static_cast<uint32_t>(kTemporaryAddressLifetime_s))
        return {AddressChange::Outcome::Failed, "the address on " + link + " is not a temporary one"};
    return {AddressChange::Outcome::Done, {}};
}

AddressChange FromErrno(int failed)
{
    if (failed == 0)
        return {AddressChange::Outcome::Done, {}};
    if (failed == EEXIST)
        return {AddressChange::Outcome::InUse, {}};
    return {AddressChange::Outcome::Failed, std::strerror(failed)};
}

}  // namespace

std::optional<uint32_t> HostAddressLifetime(unsigned linkIndex, uint32_t address)
{
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (fd.get() < 0)
        return std::nullopt;
    struct {
        nlmsghdr header;
        ifaddrmsg body;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = RTM_GETADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body.ifa_family = AF_INET;
    if (SendToKernel(fd.get(), &request, request.header.nlmsg_len) != 0)
        return std::nullopt;
    const uint32_t wire = htonl(address);
    std::optional<uint32_t> found;
    alignas(nlmsghdr) char answer[16384];
    for (;;) {
        const ssize_t got = ::recv(fd.get(), answer, sizeof answer, 0);
        if (got <= 0)
            return found;
        unsigned left = static_cast<unsigned>(got);
        for (auto* m = reinterpret_cast<const nlmsghdr*>(answer); NLMSG_OK(m, left); m = NLMSG_NEXT(m, left)) {
            if (m->nlmsg_type == NLMSG_DONE || m->nlmsg_type == NLMSG_ERROR)
                return found;
            if (!found)
                found = LifetimeIn(*m, linkIndex, wire);
        }
    }
}

AddressChange NetlinkAddressChanger::add(const std::string& link, uint32_t address, int lifetime_s)
{
    const unsigned index = ::if_nametoindex(link.c_str());
    if (index == 0)
        return {AddressChange::Outcome::Failed, "no interface named " + link};
    if (AddressInUse(link, address))
        return {AddressChange::Outcome::InUse, {}};
    return FromErrno(ChangeAddress(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, index, address, lifetime_s));
}

AddressChange NetlinkAddressChanger::renew(const std::string& link, uint32_t address, int lifetime_s)
{
    const unsigned index = ::if_nametoindex(link.c_str());
    const AddressChange temporary = CheckTemporary(link, index, address);
    if (!temporary.done())
        return temporary;
    return FromErrno(ChangeAddress(RTM_NEWADDR, NLM_F_REPLACE, index, address, lifetime_s));
}

AddressChange NetlinkAddressChanger::remove(const std::string& link, uint32_t address)
{
    const unsigned index = ::if_nametoindex(link.c_str());
    const AddressChange temporary = CheckTemporary(link, index, address);
    if (!temporary.done())
        return temporary;
    return FromErrno(ChangeAddress(RTM_DELADDR, 0, index, address, 0));
}

}  // namespace orvane
