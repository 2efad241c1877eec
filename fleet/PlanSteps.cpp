#include "fleet/PlanSteps.h"

#include "control/FirmwareKind.h"
#include "control/SettingCommands.h"
#include "fleet/FleetSteps.h"

#include <algorithm>

namespace orvane::fleet {
namespace {

constexpr PlanField kSteps[] = {PlanField::Version, PlanField::Uid, PlanField::X, PlanField::KeyId, PlanField::Ip};

const std::string* Wanted(const CameraWork& work, PlanField field)
{
    for (const FieldChange& f : work.fields) {
        if (f.field == field)
            return &f.to;
    }
    return nullptr;
}

// Every changed field of the step as planned; else the first that is not.
bool ReadsAsPlanned(const CameraWork& work, PlanField step, const batch::CameraReading& reading, std::string& differing)
{
    for (const FieldChange& f : work.fields) {
        if (StepOf(f.field) == step && f.needed() && FieldText(reading, f.field) != f.to) {
            differing = std::string(PlanFieldName(f.field)) + " " + FieldText(reading, f.field);
            return false;
        }
    }
    return true;
}

batch::BatchStep Step(const CameraWork& work, PlanField field, const PlanOperation& operation)
{
    batch::BatchStep step;
    step.run = [work, field, operation](const JobContext& job, const std::string& address) {
        return operation(work, field, job, address);
    };
    step.took = [work, field](const batch::CameraReading& reading, std::string& differing) {
        return ReadsAsPlanned(work, field, reading, differing);
    };
    // A refused upload is a change that failed, told with the camera's reply.
    step.whenRefused = batch::Outcome::Failed;
    return step;
}

}  // namespace

PlanField StepOf(PlanField field) { return field == PlanField::Y ? PlanField::X : field; }

std::vector<PlanField> PlanStepsOf(const CameraWork& work)
{
    std::vector<PlanField> steps;
    for (PlanField step : kSteps) {
        if (std::any_of(work.fields.begin(), work.fields.end(),
                        [&](const FieldChange& f) { return StepOf(f.field) == step && f.needed(); }))
            steps.push_back(step);
    }
    return steps;
}

batch::StepResult RunPlanOperation(const CameraWork& work, PlanField step, const JobContext& job,
                                   const std::string& address)
{
    switch (step) {
    case PlanField::Version:
        return UploadStepResult(UpdateFirmware(job, work.firmware.c_str(), address.c_str()));
    case PlanField::Ip:
        return SettingStepResult(SetNetwork(job, address.c_str(), Wanted(work, PlanField::Ip)->c_str(), nullptr));
    case PlanField::Uid:
        return SettingStepResult(SetUid(job, address.c_str(), Wanted(work, PlanField::Uid)->c_str()));
    case PlanField::X:
    case PlanField::Y:
        return SettingStepResult(SetXY(job, address.c_str(), work.x, work.y));
    case PlanField::KeyId:
        return SettingStepResult(SetKeyId(job, address.c_str(), std::stoi(*Wanted(work, PlanField::KeyId))));
    }
    return {};
}

std::vector<batch::BatchCamera> PlanBatch(const std::vector<CameraWork>& cameras, const PlanOperation& operation)
{
    std::vector<batch::BatchCamera> batch;
    for (const CameraWork& work : cameras) {
        batch::BatchCamera camera{work.found ? work.now.ip : work.plannedIp, work.mac, work.now.version,
                                  work.now.interfaceName, work.found, {}};
        if (work.found) {
            for (PlanField field : PlanStepsOf(work))
                camera.steps.push_back(Step(work, field, operation));
        }
        batch.push_back(std::move(camera));
    }
    return batch;
}

std::vector<FieldResult> FieldResults(const CameraWork& work, const batch::CameraProgress& progress)
{
    const std::vector<PlanField> steps = PlanStepsOf(work);
    std::vector<FieldResult> results(work.fields.size());
    for (size_t f = 0; f < work.fields.size(); ++f) {
        const FieldChange& change = work.fields[f];
        if (!change.needed()) {
            results[f].outcome = batch::Outcome::Unchanged;
            continue;
        }
        const auto at = std::find(steps.begin(), steps.end(), StepOf(change.field));
        const size_t index = static_cast<size_t>(at - steps.begin());
        if (at == steps.end() || index >= progress.steps.size())
            continue;
        results[f] = {progress.steps[index].outcome, progress.steps[index].message};
    }
    return results;
}

std::optional<PlanField> ChangeUnderWay(const CameraWork& work, const batch::CameraProgress& progress)
{
    const std::vector<PlanField> steps = PlanStepsOf(work);
    if (!progress.step || *progress.step >= steps.size())
        return std::nullopt;
    return steps[*progress.step];
}

}  // namespace orvane::fleet
