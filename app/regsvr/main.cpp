// regsvr: what regsvr32 is to a Windows in-process server. Loads a library by
// path and has it register itself (DllRegisterServer) or, with -u, unregister
// itself (DllUnregisterServer) in the class registry. The setup and demo
// scripts register the Vidra plug-in with it.

#include "platform/SharedLibrary.h"
#include "vidra/VidraApi.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: regsvr [-u] LIBRARY\n"
                      "  Loads LIBRARY (a path; a bare file name means the one in the current folder)\n"
                      "  and calls its DllRegisterServer, or with -u its DllUnregisterServer.\n"
                      "exit codes: 0 done, 1 the library could not be loaded, lacks the entry point\n"
                      "or reported a failure, 2 usage error\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    const bool unregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
    if ((argc != 2 && !unregister) || argv[argc - 1][0] == '-' || argv[argc - 1][0] == '\0') {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const char* path = argv[argc - 1];
    const char* entryPoint = unregister ? VIDRA_UNREGISTER_SYMBOL : VIDRA_REGISTER_SYMBOL;

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
