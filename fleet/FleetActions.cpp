#include "fleet/FleetActions.h"

#include "control/FileUpload.h"
#include "control/FirmwareKind.h"
#include "control/SettingCommands.h"
#include "process/JobReports.h"
#include "process/OperatorPrompt.h"

namespace orvane::fleet {
namespace {

// One camera's upload progress moves its bar.
class CameraReports : public JobReportSink {
public:
    explicit CameraReports(const std::function<void(int)>& onPermille) : onPermille_(onPermille) {}
    bool deliver(const JobReport& report) override
    {
        if (report.kind == JobReport::Kind::Progress)
            onPermille_(report.permille);
        return true;
    }

private:
    const std::function<void(int)>& onPermille_;
};

}  // namespace

FleetAction UpgradeFirmware(std::string path)
{
    return [path](const FleetCamera& camera, CancelToken& cancel, const std::function<void(int)>& onPermille) {
        CameraReports reports(onPermille);
        // No prompt: the batch shows the reason beside its camera.
        const UploadOutcome outcome =
            UploadFile({&reports, nullptr, &cancel}, FirmwareRoutineForPath(path.c_str()), path.c_str(), camera.ip.c_str());
        ActionResult r;
        r.reached = outcome.finished;
        if (outcome.finished)
            r.result = static_cast<int>(outcome.result);
        r.accepted = outcome.finished && IsAcceptedReply(outcome.result);
        r.message = outcome.failure;
        return r;
    };
}

FleetAction AssignAddress()
{
    return [](const FleetCamera& camera, CancelToken& cancel, const std::function<void(int)>&) {
        // No prompt: the batch shows the reason beside its camera.
        const SettingOutcome outcome = ChangeNetwork({nullptr, &cancel}, camera.ip.c_str(), camera.newIp.c_str(), nullptr);
        ActionResult r;
        r.reached = outcome.sent;
        r.accepted = r.reached;
        if (!r.reached)
            r.message = outcome.message;
        return r;
    };
}

}  // namespace orvane::fleet
