// orvane-cli: the camera operations of Orvane without windows, for scripts
// and for checking the core.

#include "app/cli/CliCommands.h"
#include "platform/OperatorPrompt.h"
#include "platform/StderrPrompt.h"

#include <cstdio>
#include <cstring>

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Command kCommands[] = {
    {"search", orvane::cli::RunSearch,
     "search\n"
     "      Broadcast one search on the LAN (UDP 255.255.255.255:6789 from port 10088),\n"
     "      collect answers until 2 s pass without one, and print one line per camera\n"
     "      in address order: ID, IP, MAC, Version, X, Y, UID, KEYID, tab-separated."},
    {"set-ip", orvane::cli::RunSetIp,
     "set-ip CAMERA NEW_ADDRESS\n"
     "      Give the camera at CAMERA (TCP 16101) a new address; it restarts."},
    {"set-mac", orvane::cli::RunSetMac,
     "set-mac CAMERA MAC\n"
     "      Give the camera a new MAC, 12 hexadecimal digits (else \"The MAC IS ERROR\")."},
    {"set-net", orvane::cli::RunSetNet,
     "set-net CAMERA NEW_ADDRESS MAC\n"
     "      New address and MAC over one connection: address, MAC and closing frames."},
    {"set-uid", orvane::cli::RunSetUid,
     "set-uid CAMERA UID\n"
     "      Set the camera's UID, at least 20 characters (else \"The UID IS ERROR\")."},
    {"set-keyid", orvane::cli::RunSetKeyId,
     "set-keyid CAMERA KEYID\n"
     "      Set the camera's keyboard identifier, a whole number."},
    {"set-xy", orvane::cli::RunSetXY,
     "set-xy CAMERA X Y\n"
     "      Set the camera's X (1 to 499) and Y (1 to 99)."},
    {"upload-firmware", orvane::cli::RunUploadFirmware,
     "upload-firmware CAMERA FILE\n"
     "      Upload FILE as firmware (kind 2 when the path begins with \"zImage\", else 4);\n"
     "      progress bar on stderr, the camera's result code as the last line of stdout;\n"
     "      exit 0 when the code is 1 or 2."},
    {"upload-onvif", orvane::cli::RunUploadOnvif,
     "upload-onvif CAMERA FILE\n"
     "      Upload FILE as the camera's ONVIF address list; output and exit code as\n"
     "      for upload-firmware."},
};

void PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: orvane-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(out, "\nexit codes: 0 success, 1 failure, 2 usage error\n"
                      "operation messages and field errors go to stderr\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintHelp(stderr);
        return orvane::cli::kExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp(stdout);
        return orvane::cli::kExitOk;
    }
    orvane::StderrPrompt prompt;
    orvane::InstallOperatorPrompt(&prompt);
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "orvane-cli: unknown command '%s'\n", argv[1]);
    PrintHelp(stderr);
    return orvane::cli::kExitUsage;
}
