// regsvr: what regsvr32 is to a Windows in-process server. Loads a library by
// path and has it register itself (DllRegisterServer) or, with -u, unregister
// itself (DllUnregisterServer) in the class registry. The setup and demo
// scripts register the Vidra plug-in with it, the package's install script
// machine-wide.
//
// The entry points take no arguments, so the layer they write is handed to
// them in the environment the class registry reads: the machine-wide layer
// for root, as an administrator's registration on the original platform is
// machine-wide, the user's own for anyone else; --system and --user choose.

#include "registry/ClassRegistry.h"
#include "registry/SharedLibrary.h"
#include "vidra/VidraApi.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: regsvr [--system | --user] [-u] LIBRARY\n\n"
                      "Loads LIBRARY (a path; a bare file name means the one in the current folder)\n"
                      "and calls its DllRegisterServer, or with -u its DllUnregisterServer.\n"
                      "\n"
                      "options:\n"
                      "  -u        unregister instead of registering\n"
                      "  --system  write the machine-wide class registry (the default for root)\n"
                      "  --user    write your own class registry (the default for everyone else)\n"
                      "\n"
                      "exit codes: 0 done, 1 the library could not be loaded, lacks the entry point\n"
                      "or reported a failure, 2 usage error\n");
}

struct Arguments {
    bool unregister = false;
    orvane::RegistryLayer layer = ::geteuid() == 0 ? orvane::RegistryLayer::Machine : orvane::RegistryLayer::User;
    const char* library = nullptr;
};

// False for a command line regsvr does not take.
bool ParseArguments(int argc, char** argv, Arguments& arguments)
{
    bool layerChosen = false;
    for (int i = 1; i < argc - 1; ++i) {
        const bool system = std::strcmp(argv[i], "--system") == 0;
        if (std::strcmp(argv[i], "-u") == 0 && !arguments.unregister) {
            arguments.unregister = true;
        } else if ((system || std::strcmp(argv[i], "--user") == 0) && !layerChosen) {
            arguments.layer = system ? orvane::RegistryLayer::Machine : orvane::RegistryLayer::User;
            layerChosen = true;
        } else {
            return false;
        }
    }
    arguments.library = argc >= 2 ? argv[argc - 1] : nullptr;
    return arguments.library && arguments.library[0] != '-' && arguments.library[0] != '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    Arguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const char* path = arguments.library;
    const char* entryPoint = arguments.unregister ? VIDRA_UNREGISTER_SYMBOL : VIDRA_REGISTER_SYMBOL;
    const bool machine = arguments.layer == orvane::RegistryLayer::Machine;
    ::setenv(orvane::ClassRegistry::kWriteLayerVariable, machine ? "machine" : "user", 1);

    orvane::SharedLibrary library = orvane::SharedLibrary::LoadFile(path);
    if (!library.loaded()) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", path, library.error().c_str());
        return kExitFailed;
    }
    auto call = library.function<VidraRegisterFn>(entryPoint);
    if (!call) {
        std::fprintf(stderr, "regsvr: %s does not export %s\n", path, entryPoint);
        return kExitFailed;
    }
    const int32_t result = call();
    if (result != 0) {
        std::fprintf(stderr, "regsvr: %s in %s failed with 0x%08lX\n", entryPoint, path,
                     static_cast<unsigned long>(static_cast<uint32_t>(result)));
        return kExitFailed;
    }
    return kExitOk;
}
