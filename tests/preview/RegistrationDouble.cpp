// A stand-in for libvidra.so's self-registration entry points. Each call
// appends "TAG register" or "TAG unregister" to the file that
// ORVANE_REGISTRATION_LOG names. Built once with both entry points and once
// with DllRegisterServer alone, and once for another interface version. Each
// exports the interface version (the host's own unless told otherwise) and a
// dispatch table without control members.

#include "vidra/VidraApi.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void Record(const char* call)
{
    const char* log = std::getenv("ORVANE_REGISTRATION_LOG");
    if (!log)
        return;
    std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(log, "a"), &std::fclose);
    if (file)
        std::fprintf(file.get(), "%s %s\n", DOUBLE_TAG, call);
}

}  // namespace

#ifndef DOUBLE_INTERFACE_VERSION
#define DOUBLE_INTERFACE_VERSION VIDRA_INTERFACE_VERSION
#endif

extern "C" __attribute__((visibility("default"))) uint32_t VidraInterfaceVersion(void)
{
    return DOUBLE_INTERFACE_VERSION;
}

extern "C" __attribute__((visibility("default"))) const VidraInterface* VidraGetInterface(void)
{
    static const VidraInterface table{sizeof(VidraInterface), DOUBLE_INTERFACE_VERSION, nullptr, nullptr};
    return &table;
}

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer(void)
{
    Record("register");
    return 0;
}

#ifdef DOUBLE_EXPORTS_UNREGISTER
// Fails (E_FAIL): the host must register all the same.
extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer(void)
{
    Record("unregister");
    return static_cast<int32_t>(0x80004005u);
}
#endif
