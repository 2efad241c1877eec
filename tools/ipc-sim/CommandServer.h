#pragma once
// The cameras' command port server: every distinct camera address listens on
// TCP 16101, reads 4096-byte frames and records each one; an upload header is
// followed by its data, whose MD5 is checked against the header's digest
// before the camera ends the upload the way its description asks.
//
// A camera with restart-ms restarts after an accepted firmware upload (as
// its reply leaves) and after an address change (once that connection
// closes): it stops answering searches, its listener closes, and when the
// silence is over it comes back, from the new address after an address
// change, with the settings a connection changed; a camera without
// restart-ms takes such settings at once. One thread accepts on every listener and runs those restarts.

#include "net/Socket.h"
#include "tools/ipc-sim/CameraState.h"
#include "tools/ipc-sim/CommandPort.h"
#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/RestartQueue.h"
#include "tools/ipc-sim/SimConfig.h"

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::sim {

class CommandServer {
public:
    CommandServer(const SimConfig& config, CameraStates& states, EventLog& log);
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    bool start(std::string& error);
    void stop();

private:
    struct Listener {
        std::string ip;
        Socket socket;
    };

    // 0 when listening; otherwise the errno of the failed bind or listen.
    int listen(size_t camera, const std::string& ip);
    void run();
    void acceptReady(const std::vector<pollfd>& ready, const std::vector<size_t>& owners);
    void comeBack(const Restart& restart);
    std::string takeAddress(const SimCamera& camera, const std::string& from, const std::string& to);
    // From a connection thread: returns once the camera is silent and its
    // listener closed; false when the camera does not restart.
    bool beginRestart(size_t camera, RestartReason reason, const std::string& newIp,
                      const SettingChange& settings = {});
    void serve(size_t camera, const std::string& ip, Socket connection, int id);
    void ignore(Socket& connection, const std::string& tag);
    // Reads exactly length bytes, waking regularly to notice a stop. Returns
    // the number read; fewer when the peer closed or the port is stopping.
    size_t readFully(Socket& connection, uint8_t* buffer, size_t length);
    void receiveUpload(size_t camera, Socket& connection, const std::string& tag, const UploadHeader& header,
                       bool& keepOpen);

    const SimConfig& config_;
    CameraStates& states_;
    EventLog& log_;
    std::map<size_t, Listener> listeners_;  // by camera; only the accepting thread touches it once started
    RestartQueue restarts_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> nextConnection_{1};
    std::thread acceptor_;
    std::mutex connectionsMutex_;
    std::vector<std::thread> connections_;
};

}  // namespace orvane::sim
