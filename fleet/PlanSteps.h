#pragma once
// A checked site plan as a batch: each camera's changes as steps in the
// order version, uid, x (with y), keyid, ip, each the very operation of the
// single-camera commands: the firmware upload, SetIpcUid, SetIpcXY (X and Y
// together), SetIpcKeyId, SetIpcNet with the new address. A step is done
// when the camera answers a search with every field it changes as planned.

#include "batch/BatchCamera.h"
#include "fleet/PlanFile.h"
#include "fleet/SitePlan.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane::fleet {

// A plan's restarts are short settings: its watch searches more often than
// an upgrade's.
constexpr std::chrono::milliseconds kPlanSearchPause{200};

// One change's operation on the camera at address.
using PlanOperation = std::function<batch::StepResult(const CameraWork& work, PlanField step, const JobContext& job,
                                                      const std::string& address)>;

batch::StepResult RunPlanOperation(const CameraWork& work, PlanField step, const JobContext& job,
                                   const std::string& address);

// The step a field's change is part of: X and Y go out together.
PlanField StepOf(PlanField field);
// The camera's steps, one per change it needs, in order.
std::vector<PlanField> PlanStepsOf(const CameraWork& work);

std::vector<batch::BatchCamera> PlanBatch(const std::vector<CameraWork>& cameras,
                                          const PlanOperation& operation = RunPlanOperation);

struct FieldResult {
    batch::Outcome outcome = batch::Outcome::Pending;
    std::string message;  // why it failed
};

// One per CameraWork::fields: a field that needs no change is unchanged, the
// others share their step's outcome.
std::vector<FieldResult> FieldResults(const CameraWork& work, const batch::CameraProgress& progress);
// The change under way, if any.
std::optional<PlanField> ChangeUnderWay(const CameraWork& work, const batch::CameraProgress& progress);

}  // namespace orvane::fleet
