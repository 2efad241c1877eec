#pragma once
// The steps of an upgrade and of an address assignment: the very upload and
// setting code of the single-camera commands, run by the batch engine in a
// context of each camera's own.

#include "batch/BatchCamera.h"
#include "control/FileUpload.h"
#include "control/SettingCommands.h"
#include "fleet/FleetCamera.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::fleet {

// An operation's outcome as a step's: an upload is accepted when the camera
// replies 1 or 2, a setting when it was sent.
batch::StepResult UploadStepResult(const UploadOutcome& outcome);
batch::StepResult SettingStepResult(const SettingOutcome& outcome);

// What upload-firmware sends (kind by the path's name, paced chunks, reply);
// done when the camera answers with a version other than its old one.
batch::BatchStep UpgradeStep(std::string firmware, std::string oldVersion);
// What set-ip sends; done when the camera answers from its new address.
batch::BatchStep AddressStep(std::string newIp);

std::vector<batch::BatchCamera> UpgradeBatch(const std::vector<FleetCamera>& cameras, const std::string& firmware);
std::vector<batch::BatchCamera> AddressBatch(const std::vector<FleetCamera>& cameras);

// The version an upgraded camera came back with; none when it did not.
std::optional<std::string> NewVersion(const batch::CameraProgress& progress);

}  // namespace orvane::fleet
