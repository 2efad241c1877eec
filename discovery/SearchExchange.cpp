#include "discovery/SearchExchange.h"

#include "discovery/SearchAnswer.h"
#include "process/JobReports.h"
#include "process/ProtocolTiming.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

int WaitWithin(Clock::time_point deadline, int gap_ms)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, gap_ms));
}

std::vector<NetworkInterface> InterfacesToSearch(const std::vector<std::string>& only)
{
    std::vector<NetworkInterface> interfaces = ListSearchInterfaces();
    if (only.empty())
        return interfaces;
    std::erase_if(interfaces, [&only](const NetworkInterface& i) {
        return std::find(only.begin(), only.end(), i.name) == only.end();
    });
    return interfaces;
}

// The report of the interface a datagram came in on: the search's own first,
// a new one named by the kernel for an interface the search did not send on.
InterfaceReport* ReportOfInterface(SearchReport& report, unsigned index, char (&name)[IF_NAMESIZE])
{
    name[0] = '\0';
    if (index == 0)
        return nullptr;
    for (InterfaceReport& i : report.interfaces) {
        if (i.index == index) {
            std::snprintf(name, sizeof name, "%s", i.name.c_str());
            return &i;
        }
    }
    if (::if_indextoname(index, name) == nullptr) {
        name[0] = '\0';
        return nullptr;
    }
    InterfaceReport heard;
    heard.name = name;
    heard.index = index;
    heard.broadcast = false;
    report.interfaces.push_back(heard);
    return &report.interfaces.back();
}

}  // namespace

int SearchReport::requestsSent() const
{
    const auto broadcasts = std::count_if(interfaces.begin(), interfaces.end(),
                                          [](const InterfaceReport& i) { return i.broadcast && i.error == 0; });
    return static_cast<int>(broadcasts) + targetRequests;
}

std::string SearchReport::describeTries() const
{
    std::string text;
    for (const InterfaceReport& i : interfaces) {
        if (!i.broadcast)
            continue;
        if (!text.empty())
            text += ", ";
        text += i.name;
        if (i.error != 0)
            text += std::string(" (") + std::strerror(i.error) + ")";
    }
    return text.empty() ? "none" : text;
}

bool SearchExchange::init()
{
    socket_ = Socket::udp();
    socket_.setBroadcast(true);
    socket_.setReceiveBuffer(kSearchReceiveBuffer_bytes);
    socket_.setReceivePacketInfo(true);
    // No address reuse: a second copy of the program must fail to bind.
    if (!socket_.bindTo(MakeAnyAddress(kSearchLocalPort)))
        return false;
    destination_ = MakeAnyAddress(kSearchCameraPort);
    destination_.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ready_ = true;
    return true;
}

SearchResult SearchExchange::search(const SearchRequest& request)
{
    SearchResult result;
    run(request, result.cameras, result.report);
    return result;
}

bool SearchExchange::searchForWindows(const SearchRequest& request)
{
    ClearCameras();
    run(request, TheCameraDirectory(), report_);
    ReportJob(JobReport::Finished(JobKind::Search, 0));
    return report_.requestsSent() > 0;
}

void SearchExchange::run(const SearchRequest& request, CameraDirectory& directory, SearchReport& report)
{
    const std::lock_guard<std::mutex> turn(turn_);
    report = SearchReport{};
    report.socketReady = ready_;
    const std::vector<NetworkInterface> interfaces = InterfacesToSearch(request.interfaces);
    if (ready_) {
        sendRequests(interfaces, report);
        sendToTargets(request.targets, report);
    }
    // Without a request out, answers waiting in the socket belong to no
    // search of ours: the list stays empty.
    if (report.requestsSent() > 0)
        collectAnswers(directory, report);
}

// The same 43 bytes once per interface: the kernel would send a limited
// broadcast out of the routed interface only, or fail without a default route.
void SearchExchange::sendRequests(const std::vector<NetworkInterface>& interfaces, SearchReport& report)
{
    uint8_t request[kSearchRequestSize];
    BuildSearchRequest(request);
    for (const NetworkInterface& i : interfaces) {
        const ssize_t sent = socket_.sendToVia(request, sizeof request, destination_, i.index, i.address);
        const bool whole = sent == static_cast<ssize_t>(sizeof request);
        InterfaceReport tried;
        tried.name = i.name;
        tried.index = i.index;
        tried.address = i.address;
        tried.netmask = i.netmask;
        tried.error = whole ? 0 : (sent < 0 ? errno : EIO);
        report.interfaces.push_back(tried);
    }
}

// The routing table picks the way to each host: a target behind a router
// goes to its gateway.
void SearchExchange::sendToTargets(const std::vector<SearchTarget>& targets, SearchReport& report)
{
    uint8_t request[kSearchRequestSize];
    BuildSearchRequest(request);
    int inBurst = 0;
    const auto start = Clock::now();
    for (const SearchTarget& target : targets) {
        for (uint32_t host : TargetHosts(target)) {
            sockaddr_in to = MakeAnyAddress(kSearchCameraPort);
            to.sin_addr.s_addr = htonl(host);
            if (socket_.sendTo(request, sizeof request, to) == static_cast<ssize_t>(sizeof request)) {
                ++report.targetRequests;
            } else {
                ++report.targetFailures;
                report.targetError = errno;
            }
            if (++inBurst == kTargetBurst) {
                inBurst = 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    report.targetSweep_ms =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

void SearchExchange::collectAnswers(CameraDirectory& directory, SearchReport& report)
{
    uint8_t datagram[kSearchAnswerSize];
    char arrivedOn[IF_NAMESIZE];
    // The time-out restarts after every datagram: a search lasts until a 2 s
    // gap in the answers, however many cameras there are, up to its longest.
    const ProtocolTiming timing = CurrentProtocolTiming();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing.searchLongest_ms);
    int wait = WaitWithin(deadline, timing.searchGap_ms);
    for (; wait > 0 && socket_.waitReadable(wait) > 0; wait = WaitWithin(deadline, timing.searchGap_ms)) {
        sockaddr_in sender{};
        unsigned index = 0;
        const ssize_t received = socket_.receiveDatagram(datagram, sizeof datagram, sender, index);
        InterfaceReport* on = ReportOfInterface(report, index, arrivedOn);
        if (TakeSearchDatagram(datagram, received, sender, arrivedOn, directory) && on != nullptr)
            ++on->answers;
    }
    // A last wait shorter than the 2 s gap was cut by the search's longest.
    report.cutShort = wait < timing.searchGap_ms;
}

bool TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender, const char* interfaceName,
                        CameraDirectory& directory)
{
    if (length < 1 || static_cast<size_t>(length) > kSearchAnswerSize)
        return false;
    uint8_t datagram[kSearchAnswerSize] = {};
    std::memcpy(datagram, bytes, static_cast<size_t>(length));
    SearchAnswer answer;
    DecodeSearchAnswer(datagram, sender, answer);
    directory.addSearchAnswer(answer.mac, answer.ip, answer.version, answer.xy, answer.uid, answer.keyId,
                              interfaceName);
    return true;
}

bool TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender, const char* interfaceName)
{
    return TakeSearchDatagram(bytes, length, sender, interfaceName, TheCameraDirectory());
}

SearchExchange& TheSearchExchange()
{
    static SearchExchange exchange;
    return exchange;
}

bool InitSearchSocket() { return TheSearchExchange().init(); }

bool SearchIpc() { return TheSearchExchange().search(); }

bool SearchIpc(const SearchRequest& request) { return TheSearchExchange().searchForWindows(request); }

}  // namespace orvane
