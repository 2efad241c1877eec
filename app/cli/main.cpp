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
};

void PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: orvane-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(out, "\nexit codes: 0 success, 1 failure, 2 usage error\n");
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
