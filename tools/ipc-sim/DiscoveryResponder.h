#pragma once
// Answers search requests on UDP port 6789 for every simulated camera, each
// answer sent from that camera's own address.

#include "platform/Socket.h"
#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/SimConfig.h"

#include <atomic>
#include <thread>
#include <vector>

namespace orvane::sim {

class DiscoveryResponder {
public:
    DiscoveryResponder(const SimConfig& config, EventLog& log);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    bool start(std::string& error);
    void stop();

private:
    void listen();
    void answer(sockaddr_in requester);
    void push(const SimCamera& camera);
    bool sendFrom(const SimCamera& camera, const std::vector<uint8_t>& datagram, const sockaddr_in& to);

    const SimConfig& config_;
    EventLog& log_;
    Socket socket_;
    std::atomic<bool> stopping_{false};
    std::thread listener_;
    std::vector<std::thread> answerers_;  // the listener's, one per request
    std::vector<std::thread> pushers_;    // start()'s, one per pushing camera
};

}  // namespace orvane::sim
