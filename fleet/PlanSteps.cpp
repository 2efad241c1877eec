#include "fleet/PlanSteps.h"

#include "control/SettingCommands.h"
#include "fleet/FleetActions.h"
#include "platform/JobScope.h"
#include "process/OperatorPrompt.h"

namespace orvane::fleet {
namespace {

// Keeps the operation's message instead of showing it: the plan's result
// tells it beside its field.
class KeptMessage : public OperatorPrompt {
public:
    void showMessage(const char* text) override { message = text; }
    std::string message;
};

const std::string* Wanted(const CameraWork& work, PlanField field)
{
    for (const FieldChange& f : work.fields) {
        if (f.field == field)
            return &f.to;
    }
    return nullptr;
}

ActionResult Setting(CancelToken& cancel, const std::function<bool()>& send)
{
    KeptMessage prompt;
    ActionResult r;
    {
        ScopedJob scope({nullptr, &prompt, &cancel});
        r.reached = send();
    }
    r.accepted = r.reached;
    if (!r.reached)
        r.message = prompt.message;
    return r;
}

FleetCamera At(const CameraWork& work, const std::string& address)
{
    FleetCamera camera{address, work.mac, work.now.version, work.now.interfaceName, {}, true};
    if (const std::string* ip = Wanted(work, PlanField::Ip))
        camera.newIp = *ip;
    return camera;
}

}  // namespace

ActionResult RunPlanStep(const CameraWork& work, PlanField step, const std::string& address, CancelToken& cancel,
                         const std::function<void(int)>& onPermille)
{
    switch (step) {
    case PlanField::Version:
        return UpgradeFirmware(work.firmware)(At(work, address), cancel, onPermille);
    case PlanField::Ip:
        return AssignAddress()(At(work, address), cancel, onPermille);
    case PlanField::Uid: {
        const std::string uid = *Wanted(work, PlanField::Uid);
        return Setting(cancel, [&] { return SetIpcUid(address.c_str(), uid.c_str()); });
    }
    case PlanField::X:
    case PlanField::Y:
        return Setting(cancel, [&] { return SetIpcXY(address.c_str(), work.x, work.y); });
    case PlanField::KeyId: {
        const int keyId = std::stoi(*Wanted(work, PlanField::KeyId));
        return Setting(cancel, [&] { return SetIpcKeyId(address.c_str(), keyId); });
    }
    }
    return {};
}

}  // namespace orvane::fleet
