#include "net/TemporaryAddress.h"

#include "net/NetlinkAddressChanger.h"
#include "net/NetworkInterfaces.h"
#include "process/UniqueFd.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
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

bool OwnMac(int fd, const std::string& name, unsigned char (&mac)[6])
{
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name.c_str());
    if (::ioctl(fd, SIOCGIFHWADDR, &request) != 0)
        return false;
    std::memcpy(mac, request.ifr_hwaddr.sa_data, 6);
    return true;
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
    UniqueFd fd(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
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
    : TemporaryAddress(std::move(interfaceName), camera, std::make_shared<NetlinkAddressChanger>())
{
}

TemporaryAddress::TemporaryAddress(std::string interfaceName, uint32_t camera, std::shared_ptr<AddressChanger> changer)
    : interfaceName_(std::move(interfaceName)), changer_(std::move(changer))
{
    if (::if_nametoindex(interfaceName_.c_str()) == 0) {
        error_ = "no interface named " + interfaceName_;
        return;
    }
    // The changer probes each candidate and adds the first no host claims;
    // one added by another operation meanwhile counts as claimed.
    std::string failure;
    const std::optional<uint32_t> chosen = ChooseTemporaryAddress(camera, ListOwnAddresses(), [&](uint32_t candidate) {
        const AddressChange change = changer_->add(interfaceName_, candidate, kTemporaryAddressLifetime_s);
        if (change.outcome == AddressChange::Outcome::InUse)
            return true;
        failure = change.done() ? std::string() : change.error;
        return false;
    });
    if (!chosen) {
        error_ = "every address of the camera's /24 is in use";
        return;
    }
    if (!failure.empty()) {
        error_ = failure;
        return;
    }
    address_ = *chosen;
    added_ = true;
    keeper_ = std::thread([this] { keepAlive(); });
}

void TemporaryAddress::keepAlive()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_.wait_for(lock, std::chrono::seconds(kRenewEvery_s), [this] { return finished_; }))
        changer_->renew(interfaceName_, address_, kTemporaryAddressLifetime_s);
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
    changer_->remove(interfaceName_, address_);
}

}  // namespace orvane
