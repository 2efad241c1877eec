// The settings window's operations on the command line, with the field
// checks the window makes before it calls them.

#include "app/cli/CliCommands.h"

#include "control/SettingCommands.h"
#include "control/SettingFields.h"
#include "platform/OperatorPrompt.h"

#include <cstdio>

namespace orvane::cli {
namespace {

int Usage(const char* text)
{
    std::fprintf(stderr, "usage: orvane-cli %s\n", text);
    return kExitUsage;
}

int Outcome(bool sent) { return sent ? kExitOk : kExitFailed; }

// Shows the field's message and gives the failure exit code.
int Refuse(const char* message)
{
    ShowOperatorMessage(message);
    return kExitFailed;
}

}  // namespace

int RunSetIp(int argc, char** argv)
{
    if (argc != 2)
        return Usage("set-ip CAMERA NEW_ADDRESS");
    return Outcome(SetIpcNet(argv[0], argv[1], nullptr));
}

int RunSetMac(int argc, char** argv)
{
    if (argc != 2)
        return Usage("set-mac CAMERA MAC");
    if (!IsMacField(argv[1]))
        return Refuse(kMacFieldError);
    return Outcome(SetIpcNet(argv[0], nullptr, argv[1]));
}

int RunSetNet(int argc, char** argv)
{
    if (argc != 3)
        return Usage("set-net CAMERA NEW_ADDRESS MAC");
    if (!IsMacField(argv[2]))
        return Refuse(kMacFieldError);
    return Outcome(SetIpcNet(argv[0], argv[1], argv[2]));
}

int RunSetUid(int argc, char** argv)
{
    if (argc != 2)
        return Usage("set-uid CAMERA UID");
    if (!IsUidField(argv[1]))
        return Refuse(kUidFieldError);
    return Outcome(SetIpcUid(argv[0], argv[1]));
}

int RunSetKeyId(int argc, char** argv)
{
    int keyId = 0;
    if (argc != 2 || !ParseWholeInt(argv[1], keyId))
        return Usage("set-keyid CAMERA KEYID   (KEYID a whole number)");
    return Outcome(SetIpcKeyId(argv[0], keyId));
}

int RunSetXY(int argc, char** argv)
{
    if (argc != 3)
        return Usage("set-xy CAMERA X Y");
    int x = 0;
    int y = 0;
    if (!ParseWholeInt(argv[1], x) || !IsXField(x))
        return Refuse(kXFieldError);
    if (!ParseWholeInt(argv[2], y) || !IsYField(y))
        return Refuse(kYFieldError);
    return Outcome(SetIpcXY(argv[0], x, y));
}

}  // namespace orvane::cli
