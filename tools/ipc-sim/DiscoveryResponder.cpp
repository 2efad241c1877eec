#include "tools/ipc-sim/DiscoveryResponder.h"

#include "discovery/SearchAnswer.h"
#include "net/IPv4.h"
#include "tools/ipc-sim/SimAnswer.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orvane::sim {
namespace {

struct ScheduledAnswer {
    int at_ms;
    size_t camera;
};

std::vector<ScheduledAnswer> Schedule(const std::vector<SimCamera>& cameras)
{
    std::vector<ScheduledAnswer> plan;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const SimCamera& c = cameras[i];
        plan.push_back({c.delay_ms, i});
        if (c.every_ms > 0) {
            for (int t = c.delay_ms + c.every_ms; t < c.for_ms; t += c.every_ms)
                plan.push_back({t, i});
        }
    }
    std::stable_sort(plan.begin(), plan.end(),
                     [](const ScheduledAnswer& a, const ScheduledAnswer& b) { return a.at_ms < b.at_ms; });
    return plan;
}

std::string Dotted(const sockaddr_in& address) { return FormatIPv4(ntohl(address.sin_addr.s_addr)); }

}  // namespace

DiscoveryResponder::DiscoveryResponder(const SimConfig& config, const CameraStates& states, EventLog& log)
    : config_(config), states_(states), log_(log)
{
}

DiscoveryResponder::~DiscoveryResponder() { stop(); }

bool DiscoveryResponder::start(std::string& error)
{
    socket_ = Socket::udp();
    int one = 1;
    ::setsockopt(socket_.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socket_.setBroadcast(true);
    socket_.setReceivePacketInfo(true);
    if (!socket_.bindTo(MakeAnyAddress(kSearchCameraPort))) {
        error = std::string("cannot bind UDP port 6789: ") + std::strerror(errno);
        return false;
    }
    listener_ = std::thread([this] { listen(); });
    for (size_t i = 0; i < config_.cameras.size(); ++i) {
        if (config_.cameras[i].push_ms > 0)
            pushers_.emplace_back([this, i] { push(i); });
    }
    return true;
}

// Answers nobody asked for, as a camera that keeps announcing itself sends.
void DiscoveryResponder::push(size_t camera)
{
    const SimCamera& configured = config_.cameras[camera];
    const sockaddr_in to = MakeAddress(configured.pushTo.c_str(), kSearchLocalPort);
    long sent = 0;
    while (!stopping_) {
        if (answerAs(camera, to))
            ++sent;
        std::this_thread::sleep_for(std::chrono::milliseconds(configured.push_ms));
    }
    log_.write("pushed camera=" + configured.ip + " datagrams=" + std::to_string(sent));
}

void DiscoveryResponder::stop()
{
    stopping_ = true;
    if (listener_.joinable())
        listener_.join();
    for (std::vector<std::thread>* threads : {&answerers_, &pushers_}) {
        for (std::thread& t : *threads) {
            if (t.joinable())
                t.join();
        }
        threads->clear();
    }
}

void DiscoveryResponder::listen()
{
    uint8_t request[1500];
    while (!stopping_) {
        if (socket_.waitReadable(100) <= 0)
            continue;
        sockaddr_in requester{};
        unsigned arrivedOn = 0;
        in_addr destination{};
        ssize_t got = socket_.receiveDatagram(request, sizeof request, requester, arrivedOn, destination);
        if (got < 0)
            continue;
        bool valid = got == static_cast<ssize_t>(kSearchRequestSize) &&
                     std::memcmp(request, "kestrelwave", 11) == 0 && request[11] == 0 && request[12] == 2;
        log_.write("search-request from=" + Dotted(requester) + ":" + std::to_string(ntohs(requester.sin_port)) +
                   " bytes=" + std::to_string(got) + (valid ? " valid" : " invalid"));
        if (valid)
            answerers_.emplace_back([this, requester, destination] { answer(requester, destination); });
    }
}

void DiscoveryResponder::answer(sockaddr_in requester, in_addr destination)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long sent = 0;
    for (const ScheduledAnswer& s : Schedule(config_.cameras)) {
        while (!stopping_ && Clock::now() < start + std::chrono::milliseconds(s.at_ms))
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, s.at_ms)));
        if (stopping_)
            return;
        if (hears(s.camera, destination))
            sent += answerAs(s.camera, requester) ? 1 : 0;
    }
    const long took_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    log_.write("answered to=" + Dotted(requester) + " datagrams=" + std::to_string(sent) +
               " ms=" + std::to_string(took_ms));
}

bool DiscoveryResponder::hears(size_t camera, in_addr destination) const
{
    if (config_.cameras[camera].unicast == UnicastAnswer::Any || destination.s_addr == htonl(INADDR_BROADCAST))
        return true;
    return destination.s_addr == ::inet_addr(states_[camera].shown().ip.c_str());
}

bool DiscoveryResponder::answerAs(size_t camera, const sockaddr_in& to)
{
    // Read at the moment of sending: a restart may begin or end while a
    // late or repeated answer waits.
    const CameraShown now = states_[camera].shown();
    if (!now.answering)
        return false;
    SimCamera answering = config_.cameras[camera];
    answering.version = now.version;
    answering.uid = now.uid;
    answering.xy = now.xy;
    answering.keyId = now.keyId;
    sockaddr_in destination = to;
    // A camera that cannot reach its gateway still reaches the operator's
    // link by broadcast, at the port the request came from.
    if (answering.answerTo == AnswerTo::Broadcast)
        destination.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return sendFrom(now.ip, BuildAnswer(answering), destination);
}

bool DiscoveryResponder::sendFrom(const std::string& ip, const std::vector<uint8_t>& datagram, const sockaddr_in& to)
{
    // IP_PKTINFO picks the source address per datagram, so one socket serves
    // every camera address without a descriptor per camera.
    in_addr source{};
    source.s_addr = ::inet_addr(ip.c_str());
    return socket_.sendToVia(datagram.data(), datagram.size(), to, 0, source) == static_cast<ssize_t>(datagram.size());
}

}  // namespace orvane::sim
