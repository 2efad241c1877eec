#include "fleet/FleetActions.h"

#include "control/FirmwareKind.h"
#include "control/SettingCommands.h"
#include "platform/JobReports.h"
#include "platform/JobScope.h"
#include "platform/OperatorPrompt.h"

namespace orvane::fleet {
namespace {

// One camera's upload reports: progress moves its bar, the end brings the
// camera's result code.
class CameraReports : public JobReportSink {
public:
    explicit CameraReports(const std::function<void(int)>& onPermille) : onPermille_(onPermille) {}
    bool deliver(unsigned message, long wParam, long lParam, Delivery) override
    {
        if (message != kMsgJobProgress)
            return false;
        const JobReport report = ReadJobProgress(JobKind::Firmware, wParam, lParam);
        if (report.kind == JobReport::Kind::Progress)
            onPermille_(report.permille);
        else if (report.kind == JobReport::Kind::Finished)
            result = static_cast<int>(report.result);
        return true;
    }
    std::optional<int> result;

private:
    const std::function<void(int)>& onPermille_;
};

// Keeps the operation's message instead of showing it: the batch shows it
// beside its camera.
class KeptMessage : public OperatorPrompt {
public:
    void showMessage(const char* text) override { message = text; }
    std::string message;
};

}  // namespace

FleetAction UpgradeFirmware(std::string path)
{
    return [path](const FleetCamera& camera, CancelToken& cancel, const std::function<void(int)>& onPermille) {
        CameraReports reports(onPermille);
        KeptMessage prompt;
        {
            ScopedJob scope({&reports, &prompt, &cancel});
            UpdateIpcFirmware(path.c_str(), camera.ip.c_str());
        }
        ActionResult r;
        r.reached = reports.result.has_value();
        r.result = reports.result;
        r.accepted = r.result == 1 || r.result == 2;
        r.message = prompt.message;
        return r;
    };
}

FleetAction AssignAddress()
{
    return [](const FleetCamera& camera, CancelToken& cancel, const std::function<void(int)>&) {
        KeptMessage prompt;
        ActionResult r;
        {
            ScopedJob scope({nullptr, &prompt, &cancel});
            r.reached = SetIpcNet(camera.ip.c_str(), camera.newIp.c_str(), nullptr);
        }
        r.accepted = r.reached;
        if (!r.reached)
            r.message = prompt.message;
        return r;
    };
}

}  // namespace orvane::fleet
