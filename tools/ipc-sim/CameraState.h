#pragma once
// What a simulated camera is right now: the address it answers from, the
// version it answers with and whether it answers at all. Restarts change it
// on the command port's threads while the search answerers read it, so every
// access holds the camera's own lock.

#include "tools/ipc-sim/CommandPort.h"
#include "tools/ipc-sim/SimConfig.h"

#include <deque>
#include <mutex>
#include <string>

namespace orvane::sim {

struct CameraShown {
    std::string ip;
    std::string version;
    bool answering = true;
    std::string uid;
    std::string xy;
    int32_t keyId = 1;
};

class CameraState {
public:
    explicit CameraState(const SimCamera& camera);
    CameraState(const CameraState&) = delete;
    CameraState& operator=(const CameraState&) = delete;

    CameraShown shown() const;
    // Stops answering; false when the camera was silent already, so that one
    // restart never overlaps another.
    bool silence();
    void comeBack(const std::string& ip, const std::string& version);
    // Takes the settings a connection changed into what the camera answers with.
    void take(const SettingChange& change);

private:
    mutable std::mutex mutex_;
    CameraShown shown_;
};

// One state per configured camera, in the same order; a deque because a
// camera's lock cannot move.
using CameraStates = std::deque<CameraState>;
void MakeStates(const SimConfig& config, CameraStates& states);

}  // namespace orvane::sim
