// The settings window's operations on the command line, with the field
// checks the window makes before it calls them.

#include "app/cli/CliCommands.h"

#include "control/SettingCommands.h"
#include "control/SettingFields.h"
#include "process/OperatorPrompt.h"

#include <cstdio>

namespace orvane::cli {
namespace {

int Outcome(bool sent) { return sent ? kExitOk : kExitFailed; }

// Shows the field's message and gives the failure exit code.
int Refuse(const char* message)
{
    ShowOperatorMessage(message);
    return kExitFailed;
}

}  // namespace

int RunSetIp(const std::string& camera, const std::string& address)
{
    return Outcome(SetIpcNet(camera.c_str(), address.c_str(), nullptr));
}

int RunSetMac(const std::string& camera, const std::string& mac)
{
    if (!IsMacField(mac.c_str()))
        return Refuse(kMacFieldError);
    return Outcome(SetIpcNet(camera.c_str(), nullptr, mac.c_str()));
}

int RunSetNet(const std::string& camera, const std::string& address, const std::string& mac)
{
    if (!IsMacField(mac.c_str()))
        return Refuse(kMacFieldError);
    return Outcome(SetIpcNet(camera.c_str(), address.c_str(), mac.c_str()));
}

int RunSetUid(const std::string& camera, const std::string& uid)
{
    if (!IsUidField(uid.c_str()))
        return Refuse(kUidFieldError);
    return Outcome(SetIpcUid(camera.c_str(), uid.c_str()));
}

int RunSetKeyId(const std::string& camera, const std::string& keyIdText)
{
    int keyId = 0;
    if (!ParseWholeInt(keyIdText.c_str(), keyId)) {
        std::fprintf(stderr, "usage: orvane-cli set-keyid CAMERA KEYID   (KEYID a whole number)\n");
        return kExitUsage;
    }
    return Outcome(SetIpcKeyId(camera.c_str(), keyId));
}

int RunSetXY(const std::string& camera, const std::string& xText, const std::string& yText)
{
    int x = 0;
    int y = 0;
    if (!ParseWholeInt(xText.c_str(), x) || !IsXField(x))
        return Refuse(kXFieldError);
    if (!ParseWholeInt(yText.c_str(), y) || !IsYField(y))
        return Refuse(kYFieldError);
    return Outcome(SetIpcXY(camera.c_str(), x, y));
}

}  // namespace orvane::cli
