#pragma once
// The discovery exchange: one UDP socket on port 10088 for the life of the
// process, and the search that broadcasts a request and collects answers
// until 2 s pass without one.

#include "platform/Socket.h"

#include <cstdint>

namespace orvane {

constexpr int kSearchTimeout_ms = 2000;
// However the answers keep coming, a search ends this long after its request:
// a camera that never stops sending must not keep the progress window open.
// Long enough for any real LAN: cameras answer within a second.
constexpr int kSearchLongest_ms = 30000;
// Large enough that a burst of answers from a thousand cameras is not dropped
// by the kernel before the search reads it.
constexpr int kSearchReceiveBuffer_bytes = 4 * 1024 * 1024;

class SearchExchange {
public:
    bool init();
    // Empties the directory, broadcasts once, collects answers, then reports
    // the end to the progress window (posted) and the main window (sent).
    bool search();
    bool ready() const { return ready_; }
    // The last search ended at its longest, not after a quiet gap: cameras may
    // have gone unlisted.
    bool lastSearchCutShort() const { return cutShort_; }

private:
    void collectAnswers();

    Socket socket_;
    sockaddr_in destination_{};
    bool ready_ = false;
    bool cutShort_ = false;
};

// What the search does with one received datagram: length is what
// receiveDatagram returned for it. An empty datagram, or one longer than the
// 208-byte answer (-1), is dropped; a shorter one reads as if its missing
// bytes were zero. The answer goes to the camera directory.
void TakeSearchDatagram(const uint8_t* bytes, ssize_t length, const sockaddr_in& sender);

SearchExchange& TheSearchExchange();
bool InitSearchSocket();
bool SearchIpc();

}  // namespace orvane
