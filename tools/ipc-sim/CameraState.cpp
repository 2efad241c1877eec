#include "tools/ipc-sim/CameraState.h"

namespace orvane::sim {

CameraState::CameraState(const SimCamera& camera)
    : shown_{camera.ip, camera.version, true, camera.uid, camera.xy, camera.keyId}
{
}

CameraShown CameraState::shown() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

bool CameraState::silence()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shown_.answering)
        return false;
    shown_.answering = false;
    return true;
}

void CameraState::comeBack(const std::string& ip, const std::string& version)
{
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.ip = ip;
    shown_.version = version;
    shown_.answering = true;
}

void CameraState::take(const SettingChange& change)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (change.uid)
        shown_.uid = *change.uid;
    if (change.xy)
        shown_.xy = *change.xy;
    if (change.keyId)
        shown_.keyId = *change.keyId;
}

void MakeStates(const SimConfig& config, CameraStates& states)
{
    for (const SimCamera& camera : config.cameras)
        states.emplace_back(camera);
}

}  // namespace orvane::sim
