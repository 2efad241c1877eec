#include "platform/TemporaryAddress.h"

#include "platform/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/if_ether.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

// RFC 5227's probe, shortened for an operator who waits: three probes 100 ms
// apart, then 300 ms for a late answer.
constexpr int kProbes = 3;
constexpr int kProbeGap_ms = 100;
constexpr int kLastWait_ms = 300;
// The lifetime is renewed this often while the operation runs.
constexpr int kRenewEvery_s = 30;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool OwnMac(int fd, const std::string& name, unsigned char (&mac)[6])
{
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name.c_str());
    if (::ioctl(fd, SIOCGIFHWADDR, &request) != 0)
        return false;
    std::memcpy(mac, request.ifr_hwaddr.sa_data, 6);
    return true;
}

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

// RTM_NEWADDR or RTM_DELADDR of address/32 on the link; 0 or the kernel's errno.
int ChangeAddress(unsigned short type, unsigned short flags, unsigned index, uint32_t address, int lifetime_s)
{
    Fd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
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
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd.get(), buffer, message.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return errno;
    alignas(nlmsghdr) char answer[512];
    const ssize_t got = ::recv(fd.get(), answer, sizeof answer, 0);
    if (got < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr))))
        return got < 0 ? errno : EIO;
    const auto* reply = reinterpret_cast<const nlmsghdr*>(answer);
    if (reply->nlmsg_type != NLMSG_ERROR)
        return EIO;
    return -static_cast<const nlmsgerr*>(NLMSG_DATA(reply))->error;
}

}  // namespace

bool HasNetAdmin()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("CapEff:", 0) == 0) {
            const unsigned long long effective = std::stoull(line.substr(7), nullptr, 16);
            return (effective >> 12) & 1u;  // CAP_NET_ADMIN
        }
    }
    return false;
}

std::optional<uint32_t> ChooseTemporaryAddress(uint32_t camera, const std::vector<uint32_t>& own,
                                               const std::function<bool(uint32_t)>& inUse)
{
    const uint32_t network = camera & 0xFFFFFF00u;
    for (uint32_t host = 254; host >= 1; --host) {
        const uint32_t candidate = network | host;
        if (candidate == camera || std::find(own.begin(), own.end(), candidate) != own.end())
            continue;
        if (!inUse(candidate))
            return candidate;
    }
    return std::nullopt;
}

bool AddressInUse(const std::string& interfaceName, uint32_t address)
{
    const unsigned index = ::if_nametoindex(interfaceName.c_str());
    Fd fd(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    unsigned char mac[6];
    if (index == 0 || fd.get() < 0 || !OwnMac(fd.get(), interfaceName, mac))
        return true;
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ARP);
    link.sll_ifindex = static_cast<int>(index);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&link), sizeof link) != 0)
        return true;
    sockaddr_ll everyone = link;
    everyone.sll_halen = 6;
    std::memset(everyone.sll_addr, 0xFF, 6);
    ether_arp probe{};
    probe.arp_hrd = htons(ARPHRD_ETHER);
    probe.arp_pro = htons(ETHERTYPE_IP);
    probe.arp_hln = 6;
    probe.arp_pln = 4;
    probe.arp_op = htons(ARPOP_REQUEST);
    std::memcpy(probe.arp_sha, mac, 6);
    const uint32_t wire = htonl(address);
    std::memcpy(probe.arp_tpa, &wire, 4);  // sender address left 0.0.0.0: a probe

    const auto end = Clock::now() + std::chrono::milliseconds(kProbes * kProbeGap_ms + kLastWait_ms);
    auto nextProbe = Clock::now();
    int sent = 0;
    while (Clock::now() < end) {
        if (sent < kProbes && Clock::now() >= nextProbe) {
            if (::sendto(fd.get(), &probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&everyone), sizeof everyone) < 0)
                return true;
            ++sent;
            nextProbe += std::chrono::milliseconds(kProbeGap_ms);
        }
        const auto until = sent < kProbes ? std::min(nextProbe, end) : end;
        const int wait_ms = static_cast<int>(std::max<int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count()));
        pollfd readable{fd.get(), POLLIN, 0};
        if (::poll(&readable, 1, wait_ms) <= 0)
            continue;
        ether_arp heard{};
        if (::recv(fd.get(), &heard, sizeof heard, 0) < static_cast<ssize_t>(sizeof heard))
            continue;
        if (std::memcmp(heard.arp_sha, mac, 6) == 0)
            continue;  // our own probe
        const bool claims = std::memcmp(heard.arp_spa, &wire, 4) == 0;
        const uint32_t zero = 0;
        const bool probesToo = ntohs(heard.arp_op) == ARPOP_REQUEST && std::memcmp(heard.arp_spa, &zero, 4) == 0 &&
                               std::memcmp(heard.arp_tpa, &wire, 4) == 0;
        if (claims || probesToo)
            return true;
    }
    return false;
}

TemporaryAddress::TemporaryAddress(std::string interfaceName, uint32_t camera)
    : interfaceName_(std::move(interfaceName)), index_(::if_nametoindex(interfaceName_.c_str()))
{
    if (index_ == 0) {
        error_ = "no interface named " + interfaceName_;
        return;
    }
    std::vector<uint32_t> own = ListOwnAddresses();
    // Another operation may add an address between the probe and the add: try the next.
    for (int attempt = 0; attempt < 4 && !added_; ++attempt) {
        const std::optional<uint32_t> chosen = ChooseTemporaryAddress(
            camera, own, [this](uint32_t a) { return AddressInUse(interfaceName_, a); });
        if (!chosen) {
            error_ = "every address of the camera's /24 is in use";
            return;
        }
        const int failed = ChangeAddress(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, index_, *chosen, kTemporaryAddressLifetime_s);
        if (failed == 0) {
            address_ = *chosen;
            added_ = true;
        } else if (failed == EEXIST) {
            own.push_back(*chosen);
        } else {
            error_ = std::strerror(failed);
            return;
        }
    }
    if (added_)
        keeper_ = std::thread([this] { keepAlive(); });
}

void TemporaryAddress::keepAlive()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_.wait_for(lock, std::chrono::seconds(kRenewEvery_s), [this] { return finished_; }))
        ChangeAddress(RTM_NEWADDR, NLM_F_REPLACE, index_, address_, kTemporaryAddressLifetime_s);
}

TemporaryAddress::~TemporaryAddress()
{
    if (!added_)
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    done_.notify_all();
    keeper_.join();
    ChangeAddress(RTM_DELADDR, 0, index_, address_, 0);
}

}  // namespace orvane
