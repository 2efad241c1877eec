// The plug-in's self-registration, what regsvr and the host's Reg Activex
// command call. It needs the class registry alone, neither Qt nor FFmpeg.
//
// Keys written under HKEY_CLASSES_ROOT:
//   Vidra.TarnFFMpeg.1                    = "TarnFFMpeg Control"
//   Vidra.TarnFFMpeg.1\Clsid              = the control's class id
//   CLSID\{control}                       = "TarnFFMpeg Control"
//   CLSID\{control}\InprocServer32        = this library's absolute path
//   CLSID\{control}\ProgID                = "Vidra.TarnFFMpeg.1"
//   CLSID\{server}\InprocServer32         = this library's absolute path

#include "registry/ClassRegistry.h"
#include "vidra/VidraApi.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>

namespace {

using orvane::ClassRegistry;
using orvane::RegistryStatus;

constexpr int32_t kRegistered = 0;
// E_FAIL: the result code the host's platform gives a failed registration.
constexpr int32_t kRegistrationFailed = static_cast<int32_t>(0x80004005u);

constexpr char kControlName[] = "TarnFFMpeg Control";
constexpr char kProgIdKey[] = VIDRA_PROGID;
constexpr char kProgIdClsidKey[] = VIDRA_PROGID "\\Clsid";
constexpr char kControlKey[] = "CLSID\\" VIDRA_CONTROL_CLSID;
constexpr char kControlServerKey[] = "CLSID\\" VIDRA_CONTROL_CLSID "\\InprocServer32";
constexpr char kControlProgIdKey[] = "CLSID\\" VIDRA_CONTROL_CLSID "\\ProgID";
constexpr char kServerKey[] = "CLSID\\" VIDRA_SERVER_CLSID;
constexpr char kServerServerKey[] = "CLSID\\" VIDRA_SERVER_CLSID "\\InprocServer32";

// The absolute path of this library's file; empty when it cannot be told.
std::string OwnPath()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OwnPath), &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    // The loader's name for a library loaded by a relative path is that path
    // ("./libvidra.so"); realpath resolves it against the current folder,
    // which neither regsvr nor the host changes after loading.
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(info.dli_fname, nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool WriteKey(const ClassRegistry& registry, const char* key, const std::string& defaultValue)
{
    return registry.createKey(key) == RegistryStatus::Ok && registry.setValue(key, "", defaultValue) == RegistryStatus::Ok;
}

// Unregistering what was never registered succeeds, as it does for regsvr32.
bool RemoveTree(const ClassRegistry& registry, const char* key)
{
    RegistryStatus status = registry.deleteTree(key);
    return status == RegistryStatus::Ok || status == RegistryStatus::NotFound;
}

int32_t Register()
{
    const std::string path = OwnPath();
    if (path.empty())
        return kRegistrationFailed;
    ClassRegistry registry;
    // The ProgID's Clsid key is what the host's start-up takes for "installed",
    // so it is written last: a registration that stops half-way does not pass
    // for a complete one.
    bool written = WriteKey(registry, kServerServerKey, path) && WriteKey(registry, kControlKey, kControlName) &&
                   WriteKey(registry, kControlServerKey, path) && WriteKey(registry, kControlProgIdKey, VIDRA_PROGID) &&
                   WriteKey(registry, kProgIdKey, kControlName) &&
                   WriteKey(registry, kProgIdClsidKey, VIDRA_CONTROL_CLSID);
    return written ? kRegistered : kRegistrationFailed;
}

int32_t Unregister()
{
    ClassRegistry registry;
    // The reverse order of Register; every tree is tried even when one fails.
    bool removed = RemoveTree(registry, kProgIdKey);
    removed = RemoveTree(registry, kControlKey) && removed;
    removed = RemoveTree(registry, kServerKey) && removed;
    return removed ? kRegistered : kRegistrationFailed;
}

}  // namespace

// No exception may cross into the host: it calls through a C pointer.
extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer(void)
{
    try {
        return Register();
    } catch (...) {
        return kRegistrationFailed;
    }
}

extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer(void)
{
    try {
        return Unregister();
    } catch (...) {
        return kRegistrationFailed;
    }
}

static_assert(std::is_same_v<decltype(&DllRegisterServer), VidraRegisterFn>);
static_assert(std::is_same_v<decltype(&DllUnregisterServer), VidraRegisterFn>);
