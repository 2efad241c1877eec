#pragma once
// Every wait of the camera protocol, in one place. The defaults are what the
// cameras and an operator's network need, and the program and the end-to-end
// tests always run with them. Unit tests that play a camera on loopback may
// shorten them (ScopedProtocolTiming), so that a search there does not cost
// 2 s and an upload 100 ms a chunk.

namespace orvane {

struct ProtocolTiming {
    // A search ends after this long without an answer; the wait restarts
    // after every datagram.
    int searchGap_ms = 2000;
    // However the answers keep coming, a search ends this long after its
    // request: a camera that never stops sending must not keep the progress
    // window open. Long enough for any real LAN: cameras answer within a second.
    int searchLongest_ms = 30000;
    // After every chunk of an upload, the last one included: the camera
    // writes each chunk to flash before it reads the next.
    int chunkPause_ms = 100;
    // A TCP connect to a camera: about as long as the original platform
    // waits, not Linux's two minutes.
    int connectBound_ms = 20000;
    // The address-list camera gives up a stalled send or a missing reply
    // after 5 s (send and receive time-out of its upload).
    int onvifSendTimeout_ms = 5000;
    // A firmware camera that stops reading or never replies ends the upload
    // after a minute instead of holding the progress window open forever.
    int firmwareSendStall_ms = 60000;
    int firmwareReplyWait_ms = 60000;

    bool operator==(const ProtocolTiming&) const = default;
};

// The timing in force; a copy, safe to take on any thread.
ProtocolTiming CurrentProtocolTiming();

// For unit tests only: while it lives, CurrentProtocolTiming() gives timing.
// Set it before the threads that read it start.
class ScopedProtocolTiming {
public:
    explicit ScopedProtocolTiming(const ProtocolTiming& timing);
    ~ScopedProtocolTiming();
    ScopedProtocolTiming(const ScopedProtocolTiming&) = delete;
    ScopedProtocolTiming& operator=(const ScopedProtocolTiming&) = delete;

private:
    ProtocolTiming previous_;
};

}  // namespace orvane
