#include "fleet/FleetSteps.h"

#include "control/FirmwareKind.h"

#include <utility>

namespace orvane::fleet {
namespace {

batch::BatchCamera Camera(const FleetCamera& c, batch::BatchStep step)
{
    return {c.ip, c.mac, c.oldVersion, c.interfaceName, c.found, {std::move(step)}};
}

}  // namespace

batch::StepResult UploadStepResult(const UploadOutcome& outcome)
{
    batch::StepResult r;
    r.reached = outcome.finished;
    if (outcome.finished)
        r.result = static_cast<int>(outcome.result);
    r.accepted = outcome.finished && IsAcceptedReply(outcome.result);
    r.message = outcome.failure;
    return r;
}

batch::StepResult SettingStepResult(const SettingOutcome& outcome)
{
    batch::StepResult r;
    r.reached = outcome.sent;
    r.accepted = outcome.sent;
    if (!outcome.sent)
        r.message = outcome.message;
    return r;
}

batch::BatchStep UpgradeStep(std::string firmware, std::string oldVersion)
{
    batch::BatchStep step;
    step.run = [firmware = std::move(firmware)](const JobContext& job, const std::string& address) {
        return UploadStepResult(UpdateFirmware(job, firmware.c_str(), address.c_str()));
    };
    step.took = [oldVersion = std::move(oldVersion)](const batch::CameraReading& reading, std::string& differing) {
        differing = "version " + reading.version;
        return reading.version != oldVersion;
    };
    step.whenTook = batch::Outcome::Upgraded;
    step.otherwise = batch::Outcome::Unchanged;
    return step;
}

batch::BatchStep AddressStep(std::string newIp)
{
    batch::BatchStep step;
    step.run = [newIp](const JobContext& job, const std::string& address) {
        return SettingStepResult(SetNetwork(job, address.c_str(), newIp.c_str(), nullptr));
    };
    step.took = [newIp](const batch::CameraReading& reading, std::string& differing) {
        differing = "ip " + reading.ip;
        return reading.ip == newIp;
    };
    // Until the wait ends an answer from the old address may be the camera
    // not yet restarted.
    step.settle = batch::Settle::OnlyWhenTook;
    step.whenTook = batch::Outcome::Moved;
    return step;
}

std::vector<batch::BatchCamera> UpgradeBatch(const std::vector<FleetCamera>& cameras, const std::string& firmware)
{
    std::vector<batch::BatchCamera> batch;
    for (const FleetCamera& c : cameras)
        batch.push_back(Camera(c, UpgradeStep(firmware, c.oldVersion)));
    return batch;
}

std::vector<batch::BatchCamera> AddressBatch(const std::vector<FleetCamera>& cameras)
{
    std::vector<batch::BatchCamera> batch;
    for (const FleetCamera& c : cameras)
        batch.push_back(Camera(c, AddressStep(c.newIp)));
    return batch;
}

std::optional<std::string> NewVersion(const batch::CameraProgress& progress)
{
    if (progress.steps.empty() || progress.outcome() == batch::Outcome::NotBack || !progress.steps[0].reading)
        return std::nullopt;
    return progress.steps[0].reading->version;
}

}  // namespace orvane::fleet
