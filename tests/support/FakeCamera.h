#pragma once
// A camera's command port on loopback (127.0.0.1:16101): it takes one
// connection at a time and records what arrived on it, either as whole
// 4096-byte command frames or as an upload (header frame, then the bytes the
// header announces), and answers an upload the way a test asks it to.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::test {

using Clock = std::chrono::steady_clock;

struct CameraConnection {
    std::vector<std::string> frames;  // command frames, each exactly 4096 bytes
    size_t trailingBytes = 0;         // bytes after the last whole frame
    std::vector<Clock::time_point> frameTimes;
    std::string header;  // an upload's header frame
    std::string data;    // an upload's bytes after the header
    bool sawClose = false;           // the operator's side closed the connection
    Clock::time_point closedAt{};
    bool probeAtClose = false;       // the probe's value when the close arrived
};

struct UploadAnswer {
    enum Kind { Reply, CloseWithoutReply, NeverReply, ResetAfterBytes } kind = Reply;
    std::string reply = "1";
    size_t resetAfter = 0;  // ResetAfterBytes: data bytes taken before the reset
};

// A socket listening on the camera's command port, 127.0.0.1:16101, with the
// given backlog; -1 when the port cannot be had.
int ListenOnCommandPort(int backlog);

class FakeCamera {
public:
    enum class Mode { Commands, Upload };
    explicit FakeCamera(Mode mode, UploadAnswer answer = {});
    ~FakeCamera();
    FakeCamera(const FakeCamera&) = delete;
    FakeCamera& operator=(const FakeCamera&) = delete;

    // Sampled on the camera's thread when the operator's side closes.
    void setProbe(std::function<bool()> probe);

    // Waits until count connections have ended, then returns all of them.
    std::vector<CameraConnection> waitForConnections(size_t count,
                                                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Connections accepted so far, after letting a pending one arrive.
    size_t acceptedAfter(std::chrono::milliseconds settle);

private:
    void run();
    void serveCommands(int fd, CameraConnection& connection);
    void serveUpload(int fd, CameraConnection& connection);
    void awaitClose(int fd, CameraConnection& connection);

    Mode mode_;
    UploadAnswer answer_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<bool()> probe_;
    size_t accepted_ = 0;
    std::vector<CameraConnection> done_;
    std::thread thread_;
};

}  // namespace orvane::test
