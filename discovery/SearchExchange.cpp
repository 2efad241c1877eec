#include "discovery/SearchExchange.h"

#include "discovery/CameraDirectory.h"
#include "discovery/SearchAnswer.h"
#include "platform/JobReports.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orvane {
namespace {

int WaitWithin(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, kSearchTimeout_ms));
}

}  // namespace

bool SearchExchange::init()
{
    socket_ = Socket::udp();
    socket_.setBroadcast(true);
    socket_.setReceiveBuffer(kSearchReceiveBuffer_bytes);
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
    cutShort_ = false;
    ClearCameras();
    uint8_t request[kSearchRequestSize];
    BuildSearchRequest(request);
    if (ready_)
        socket_.sendTo(request, sizeof request, destination_);
    collectAnswers();
    ReportJob(JobReport::Finished(JobKind::Search, 0));
    return true;
}

void SearchExchange::collectAnswers()
{
    if (!ready_)
        return;  // the wait of a search without a bound socket fails at once
    uint8_t datagram[kSearchAnswerSize];
    // The time-out restarts after every datagram: a search lasts until a 2 s
    // gap in the answers, however many cameras there are, up to its longest.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSearchLongest_ms);
    int wait = WaitWithin(deadline);
    for (; wait > 0 && socket_.waitReadable(wait) > 0; wait = WaitWithin(deadline)) {
        sockaddr_in sender{};
        const ssize_t received = socket_.receiveDatagram(datagram, sizeof datagram, sender);
        TakeSearchDatagram(datagram, received, sender);
    }
    // A last wait shorter than the gap was cut by the longest search.
    cutShort_ = wait < kSearchTimeout_ms;
}

void TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender)
{
    if (length < 1 || static_cast<size_t>(length) > kSearchAnswerSize)
        return;
    uint8_t datagram[kSearchAnswerSize] = {};
    std::memcpy(datagram, bytes, static_cast<size_t>(length));
    SearchAnswer answer;
    DecodeSearchAnswer(datagram, sender, answer);
    AddSearchAnswer(answer.mac, answer.ip, answer.version, answer.xy, answer.uid, answer.keyId);
}

SearchExchange& TheSearchExchange()
{
    static SearchExchange exchange;
    return exchange;
}

bool InitSearchSocket() { return TheSearchExchange().init(); }

bool SearchIpc() { return TheSearchExchange().search(); }

}  // namespace orvane
