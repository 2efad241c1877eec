#pragma once
// The operations a batch runs on each camera: the very upload and setting
// code of the single-camera commands, inside a job scope that keeps each
// camera's progress, reply and messages apart.

#include "fleet/FleetRun.h"

#include <string>

namespace orvane::fleet {

// What upload-firmware sends: kind by the path's name, paced chunks, reply.
// Accepted when the camera replies 1 or 2.
FleetAction UpgradeFirmware(std::string path);

// What set-ip sends, with the camera's newIp. Accepted when sent.
FleetAction AssignAddress();

}  // namespace orvane::fleet
