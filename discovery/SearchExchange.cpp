#include "discovery/SearchExchange.h"

#include "discovery/CameraDirectory.h"
#include "discovery/SearchAnswer.h"
#include "platform/JobReports.h"
#include "platform/ProtocolTiming.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

int WaitWithin(Clock::time_point deadline, int gap_ms)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, gap_ms));
}

// The name of the interface a datagram came in on: the search's own list
// first, the kernel's for an interface the search did not send on.
void NameOfInterface(const std::vector<NetworkInterface>& interfaces, unsigned index,
                     char (&name)[IF_NAMESIZE])
{
    name[0] = '\0';
    if (index == 0)
        return;
    for (const NetworkInterface& i : interfaces) {
        if (i.index == index) {
            std::snprintf(name, sizeof name, "%s", i.name.c_str());
            return;
        }
    }
    if (::if_indextoname(index, name) == nullptr)
        name[0] = '\0';
}

}  // namespace

int SearchReport::requestsSent() const
{
    return static_cast<int>(std::count_if(sends.begin(), sends.end(), [](const InterfaceSend& s) { return s.error == 0; }));
}

std::string SearchReport::describeTries() const
{
    if (sends.empty())
        return "none";
    std::string text;
    for (const InterfaceSend& s : sends) {
        if (!text.empty())
            text += ", ";
        text += s.name;
        if (s.error != 0)
            text += std::string(" (") + std::strerror(s.error) + ")";
    }
    return text;
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

bool SearchExchange::search()
{
    ClearCameras();
    report_ = SearchReport{};
    report_.socketReady = ready_;
    const std::vector<NetworkInterface> interfaces = interfacesToSearch();
    if (ready_)
        sendRequests(interfaces);
    // Without a request out, answers waiting in the socket belong to no
    // search of ours: the list stays empty.
    const bool sent = report_.requestsSent() > 0;
    if (sent)
        collectAnswers(interfaces);
    ReportJob(JobReport::Finished(JobKind::Search, 0));
    return sent;
}

std::vector<NetworkInterface> SearchExchange::interfacesToSearch() const
{
    std::vector<NetworkInterface> interfaces = ListSearchInterfaces();
    if (only_.empty())
        return interfaces;
    std::erase_if(interfaces, [this](const NetworkInterface& i) {
        return std::find(only_.begin(), only_.end(), i.name) == only_.end();
    });
    return interfaces;
}

// The same 43 bytes once per interface: the kernel would send a limited
// broadcast out of the routed interface only, or fail without a default route.
void SearchExchange::sendRequests(const std::vector<NetworkInterface>& interfaces)
{
    uint8_t request[kSearchRequestSize];
    BuildSearchRequest(request);
    for (const NetworkInterface& i : interfaces) {
        const ssize_t sent = socket_.sendToVia(request, sizeof request, destination_, i.index, i.address);
        const bool whole = sent == static_cast<ssize_t>(sizeof request);
        report_.sends.push_back({i.name, whole ? 0 : (sent < 0 ? errno : EIO)});
    }
}

void SearchExchange::collectAnswers(const std::vector<NetworkInterface>& interfaces)
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
        NameOfInterface(interfaces, index, arrivedOn);
        TakeSearchDatagram(datagram, received, sender, arrivedOn);
    }
    // A last wait shorter than the 2 s gap was cut by the search's longest.
    report_.cutShort = wait < timing.searchGap_ms;
}

void TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender, const char* interfaceName)
{
    if (length < 1 || static_cast<size_t>(length) > kSearchAnswerSize)
        return;
    uint8_t datagram[kSearchAnswerSize] = {};
    std::memcpy(datagram, bytes, static_cast<size_t>(length));
    SearchAnswer answer;
    DecodeSearchAnswer(datagram, sender, answer);
    AddSearchAnswer(answer.mac, answer.ip, answer.version, answer.xy, answer.uid, answer.keyId, interfaceName);
}

SearchExchange& TheSearchExchange()
{
    static SearchExchange exchange;
    return exchange;
}

bool InitSearchSocket() { return TheSearchExchange().init(); }

bool SearchIpc() { return TheSearchExchange().search(); }

}  // namespace orvane
