// The settings window's operations on the command line, with the field
// checks the window makes before it calls them.

#include "app/cli/CliCommands.h"

#include "control/SettingCommands.h"
#include "control/SettingFields.h"

#include <cstdio>

namespace orvane::cli {
namespace {

int Outcome(const SettingOutcome& outcome) { return outcome.sent ? kExitOk : kExitFailed; }

// Shows the field's message and gives the failure exit code.
int Refuse(const JobContext& job, const char* message)
{
    job.tell(message);
    return kExitFailed;
}

}  // namespace

int RunSetIp(const JobContext& job, const std::string& camera, const std::string& address)
{
    return Outcome(SetNetwork(job, camera.c_str(), address.c_str(), nullptr));
}

int RunSetMac(const JobContext& job, const std::string& camera, const std::string& mac)
{
    if (!IsMacField(mac.c_str()))
        return Refuse(job, kMacFieldError);
    return Outcome(SetNetwork(job, camera.c_str(), nullptr, mac.c_str()));
}

int RunSetNet(const JobContext& job, const std::string& camera, const std::string& address, const std::string& mac)
{
    if (!IsMacField(mac.c_str()))
        return Refuse(job, kMacFieldError);
    return Outcome(SetNetwork(job, camera.c_str(), address.c_str(), mac.c_str()));
}

int RunSetUid(const JobContext& job, const std::string& camera, const std::string& uid)
{
    if (!IsUidField(uid.c_str()))
        return Refuse(job, kUidFieldError);
    return Outcome(SetUid(job, camera.c_str(), uid.c_str()));
}

int RunSetKeyId(const JobContext& job, const std::string& camera, const std::string& keyIdText)
{
    int keyId = 0;
    if (!ParseWholeInt(keyIdText.c_str(), keyId)) {
        std::fprintf(stderr, "usage: orvane-cli set-keyid CAMERA KEYID   (KEYID a whole number)\n");
        return kExitUsage;
    }
    return Outcome(SetKeyId(job, camera.c_str(), keyId));
}

int RunSetXY(const JobContext& job, const std::string& camera, const std::string& xText, const std::string& yText)
{
    int x = 0;
    int y = 0;
    if (!ParseWholeInt(xText.c_str(), x) || !IsXField(x))
        return Refuse(job, kXFieldError);
    if (!ParseWholeInt(yText.c_str(), y) || !IsYField(y))
        return Refuse(job, kYFieldError);
    return Outcome(SetXY(job, camera.c_str(), x, y));
}

}  // namespace orvane::cli
