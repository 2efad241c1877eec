#pragma once
// The cameras' command port: every distinct camera address listens on TCP
// 16101, reads 4096-byte frames and records each one; an upload header is
// followed by its data, whose MD5 is checked against the header's digest
// before the camera ends the upload the way its description asks.

#include "platform/Socket.h"
#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/SimConfig.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::sim {

constexpr unsigned short kCommandPort = 16101;
constexpr size_t kCommandFrameBytes = 4096;

// An upload header "#K&SIZE&DIGEST#": K one of 2, 4, 6, SIZE decimal digits
// within a signed 32-bit value, DIGEST 16 lower-case hexadecimal characters.
struct UploadHeader {
    int kind = 0;
    int64_t size = 0;
    std::string digest;
};
bool ParseUploadHeader(const std::string& text, UploadHeader& header);

// Printable ASCII as is, a backslash doubled, any other byte as \xHH.
std::string EscapeForLog(const std::string& text);

class CommandPort {
public:
    CommandPort(const SimConfig& config, EventLog& log);
    ~CommandPort();
    CommandPort(const CommandPort&) = delete;
    CommandPort& operator=(const CommandPort&) = delete;

    bool start(std::string& error);
    void stop();

private:
    struct Listener {
        const SimCamera* camera;
        Socket socket;
    };

    void accept(Listener& listener);
    void serve(const SimCamera& camera, Socket connection, int id);
    void ignore(Socket& connection, const std::string& tag);
    // Reads exactly length bytes, waking regularly to notice a stop. Returns
    // the number read; fewer when the peer closed or the port is stopping.
    size_t readFully(Socket& connection, uint8_t* buffer, size_t length);
    void receiveUpload(const SimCamera& camera, Socket& connection, const std::string& tag,
                       const UploadHeader& header, bool& keepOpen);

    const SimConfig& config_;
    EventLog& log_;
    std::vector<Listener> listeners_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> nextConnection_{1};
    std::vector<std::thread> acceptors_;
    std::mutex connectionsMutex_;
    std::vector<std::thread> connections_;
};

}  // namespace orvane::sim
