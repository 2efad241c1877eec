#pragma once
// The discovery exchange: one UDP socket on port 10088 for the life of the
// process, and the search that broadcasts a request out of every network
// interface and collects answers until 2 s pass without one.

#include "platform/NetworkInterfaces.h"
#include "platform/Socket.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// Large enough that a burst of answers from a thousand cameras is not dropped
// by the kernel before the search reads it.
constexpr int kSearchReceiveBuffer_bytes = 4 * 1024 * 1024;

// The request's fate on one interface.
struct InterfaceSend {
    std::string name;
    int error = 0;  // errno of a failed send, 0 when the request went out
};

// What the latest search did, for a caller that tells the operator.
struct SearchReport {
    bool socketReady = false;
    std::vector<InterfaceSend> sends;  // one per interface tried, in order
    bool cutShort = false;             // ended at its longest while answers still came

    int requestsSent() const;
    // "eth0 (Network is unreachable), wlan0": every interface tried, failed
    // ones with their reason; "none" when there was none to try.
    std::string describeTries() const;
};

class SearchExchange {
public:
    bool init();
    // Empties the directory, sends the request out of every interface (or
    // the ones limitTo named), collects answers, then reports the end to the
    // progress window (posted) and the main window (sent). False when no
    // request could be sent: nothing is collected and the directory stays
    // empty.
    bool search();
    bool ready() const { return ready_; }

    // Limits later searches to the named interfaces; an empty list means all.
    void limitTo(std::vector<std::string> interfaceNames) { only_ = std::move(interfaceNames); }
    const SearchReport& lastReport() const { return report_; }

private:
    std::vector<NetworkInterface> interfacesToSearch() const;
    void sendRequests(const std::vector<NetworkInterface>& interfaces);
    void collectAnswers(const std::vector<NetworkInterface>& interfaces);

    Socket socket_;
    sockaddr_in destination_{};
    bool ready_ = false;
    std::vector<std::string> only_;
    SearchReport report_;
};

// What the search does with one received datagram: length is what
// receiveDatagram returned for it. An empty datagram, or one longer than the
// 208-byte answer (-1), is dropped; a shorter one reads as if its missing
// bytes were zero. The answer goes to the camera directory, marked with the
// interface it came in on.
void TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender,
                        const char* interfaceName = "");

SearchExchange& TheSearchExchange();
bool InitSearchSocket();
bool SearchIpc();

}  // namespace orvane
