#pragma once
// The discovery exchange: one UDP socket on port 10088 for the life of the
// process, and the search that broadcasts a request out of every network
// interface and collects answers until 2 s pass without one.
//
// A search is a request that returns its result:
//
//   SearchRequest request;
//   request.interfaces = {"eth1"};             // empty: every usable interface
//   request.targets = {{0x0a500000, 24}};      // also ask 10.80.0.1 to .254 by unicast
//   SearchResult result = TheSearchExchange().search(request);
//   for (const CameraRecord* r = result.cameras.head(); r; r = r->next.get()) ...
//
// search(request) touches nothing but the socket: no window hears of it and
// the process-wide camera directory is left alone, so the command line, the
// batch window and the fleet's watches can search from any thread (searches
// take turns on the one socket). Only the main window's own search, SearchIpc
// on the user-interface thread, empties and fills the process-wide directory
// and reports its end to the windows.

#include "discovery/CameraDirectory.h"
#include "discovery/SearchTarget.h"
#include "net/NetworkInterfaces.h"
#include "net/Socket.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orvane {

// Large enough that a burst of answers from a thousand cameras is not dropped
// by the kernel before the search reads it.
constexpr int kSearchReceiveBuffer_bytes = 4 * 1024 * 1024;
// Unicast requests to targets go out in bursts of this many with a 1 ms
// pause after each: a /24 in about 20 ms, without flooding a router's queue.
constexpr int kTargetBurst = 16;

struct SearchRequest {
    // Interfaces the request is broadcast on, by name; empty means every
    // interface that can carry a search.
    std::vector<std::string> interfaces;
    // Networks whose every host also gets the request by unicast, after the
    // broadcasts and from the same socket; the quiet gap starts after the last.
    std::vector<SearchTarget> targets;
};

// What the search did on one interface.
struct InterfaceReport {
    std::string name;
    unsigned index = 0;
    in_addr address{};   // the request's source there
    in_addr netmask{};
    bool broadcast = true;  // false: not searched on, but answers came in on it
    int error = 0;          // errno of a failed send, 0 when the request went out
    int answers = 0;        // datagrams taken as answers that came in on it
};

// What a search did, for a caller that tells the operator.
struct SearchReport {
    bool socketReady = false;
    std::vector<InterfaceReport> interfaces;  // broadcast ones first, in the order tried
    int targetRequests = 0;                   // unicast requests that went out
    int targetFailures = 0;                   // ... and that did not, the last errno in targetError
    int targetError = 0;
    int targetSweep_ms = 0;                   // from the first unicast request to the last
    bool cutShort = false;                    // ended at its longest while answers still came

    // Requests that went out, broadcast and unicast.
    int requestsSent() const;
    // "eth0 (Network is unreachable), wlan0": every interface tried, failed
    // ones with their reason; "none" when there was none to try.
    std::string describeTries() const;
};

struct SearchResult {
    CameraDirectory cameras;  // one record per MAC in address order, each with its interface
    SearchReport report;
    bool sent() const { return report.requestsSent() > 0; }
};

class SearchExchange {
public:
    bool init();
    bool ready() const { return ready_; }

    // One search, answers kept in the result only. Without a request out,
    // nothing is collected and the result has no camera.
    SearchResult search(const SearchRequest& request);

    // The main window's search: empties the process-wide directory, sends
    // the request (broadcasts, then the request's targets), collects the
    // answers into the directory, then reports the end to the progress
    // window (posted) and the main window (sent). False when no request
    // could be sent: nothing is collected and the directory stays empty.
    bool searchForWindows(const SearchRequest& request);
    bool search() { return searchForWindows(SearchRequest{}); }
    // The report of the latest window search.
    const SearchReport& lastReport() const { return report_; }

private:
    void run(const SearchRequest& request, CameraDirectory& directory, SearchReport& report);
    void sendRequests(const std::vector<NetworkInterface>& interfaces, SearchReport& report);
    void sendToTargets(const std::vector<SearchTarget>& targets, SearchReport& report);
    void collectAnswers(CameraDirectory& directory, SearchReport& report);

    Socket socket_;
    sockaddr_in destination_{};
    bool ready_ = false;
    std::mutex turn_;  // one search at a time on the one socket
    SearchReport report_;
};

// What the search does with one received datagram: length is what
// receiveDatagram returned for it. An empty datagram, or one longer than the
// 208-byte answer (-1), is dropped; a shorter one reads as if its missing
// bytes were zero. The answer goes to the directory (the process-wide one
// without it), marked with the interface it came in on. True when taken.
bool TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender,
                        const char* interfaceName = "");
bool TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender, const char* interfaceName,
                        CameraDirectory& directory);

SearchExchange& TheSearchExchange();
bool InitSearchSocket();
// The main window's search, on the user-interface thread.
bool SearchIpc();
bool SearchIpc(const SearchRequest& request);

}  // namespace orvane
