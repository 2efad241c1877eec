#pragma once
// Answers search requests on UDP port 6789 for every simulated camera, each
// answer sent from the address the camera has now, with the version it has
// now; a camera that is restarting stays silent.

#include "net/Socket.h"
#include "tools/ipc-sim/CameraState.h"
#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/SimConfig.h"

#include <atomic>
#include <thread>
#include <vector>

namespace orvane::sim {

class DiscoveryResponder {
public:
    DiscoveryResponder(const SimConfig& config, const CameraStates& states, EventLog& log);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    bool start(std::string& error);
    void stop();

private:
    void listen();
    // destination: where the request was sent, a broadcast or a camera's address.
    void answer(sockaddr_in requester, in_addr destination);
    void push(size_t camera);
    // Sends camera's answer as it stands now; false when it is silent or the send failed.
    bool answerAs(size_t camera, const sockaddr_in& to);
    // Whether camera answers a request sent to destination.
    bool hears(size_t camera, in_addr destination) const;
    bool sendFrom(const std::string& ip, const std::vector<uint8_t>& datagram, const sockaddr_in& to);

    const SimConfig& config_;
    const CameraStates& states_;
    EventLog& log_;
    Socket socket_;
    std::atomic<bool> stopping_{false};
    std::thread listener_;
    std::vector<std::thread> answerers_;  // the listener's, one per request
    std::vector<std::thread> pushers_;    // start()'s, one per pushing camera
};

}  // namespace orvane::sim
