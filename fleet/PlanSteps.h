#pragma once
// The operation behind each change of a plan, exactly what the
// single-camera commands send: the firmware upload, SetIpcUid, SetIpcXY
// (X and Y together), SetIpcKeyId, SetIpcNet with the new address.

#include "fleet/FleetRun.h"
#include "fleet/PlanFile.h"
#include "fleet/SitePlan.h"

#include <functional>
#include <string>

namespace orvane::fleet {

// One change's operation on the camera at address; accepted when the camera
// will restart with it.
using PlanStepAction = std::function<ActionResult(const CameraWork& work, PlanField step, const std::string& address,
                                                  CancelToken& cancel, const std::function<void(int)>& onPermille)>;

// The operations themselves, each in a job scope of its own that keeps the
// operation's messages and stops with cancel.
ActionResult RunPlanStep(const CameraWork& work, PlanField step, const std::string& address, CancelToken& cancel,
                         const std::function<void(int)>& onPermille);

}  // namespace orvane::fleet
