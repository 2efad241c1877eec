#include "preview/PluginRegistration.h"

#include "registry/ClassRegistry.h"
#include "registry/SharedLibrary.h"
#include "process/UniqueFd.h"
#include "preview/PluginInterface.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace orvane {
namespace {

constexpr char kProbeKey[] = "CLSID\\" VIDRA_SERVER_CLSID "\\InprocServer32";
constexpr char kProgIdClsidKey[] = VIDRA_PROGID "\\Clsid";
// MAX_PATH: the buffer the registered path is read into.
constexpr size_t kPathBufferSize = 260;

enum class VersionCheck { Ask, Asked };

void CallEntryPoint(const char* library, const char* entryPoint, VersionCheck check = VersionCheck::Ask)
{
    SharedLibrary plugin = SharedLibrary::LoadByName(library);
    if (!plugin.loaded())
        return;
    // A plug-in of another interface version is neither registered nor
    // unregistered: its line on stderr says why.
    if (check == VersionCheck::Ask && PluginInterfaceOf(plugin, library) == nullptr)
        return;
    if (auto call = plugin.function<VidraRegisterFn>(entryPoint))
        call();
}

// Whether path names an existing file, reading nothing from it: O_PATH opens
// without any access right. A folder does not count, as the original
// platform's open of an existing file refuses one.
bool FileExists(const char* path)
{
    const UniqueFd handle(::open(path, O_PATH | O_CLOEXEC));
    struct stat info {};
    return handle.get() >= 0 && ::fstat(handle.get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

void OnRegActivex(const char* library)
{
    // Asked once, so a refused plug-in is told once.
    {
        SharedLibrary plugin = SharedLibrary::LoadByName(library);
        if (!plugin.loaded() || PluginInterfaceOf(plugin, library) == nullptr)
            return;
    }
    if (IsPluginServerPresent())
        CallEntryPoint(library, VIDRA_UNREGISTER_SYMBOL, VersionCheck::Asked);
    CallEntryPoint(library, VIDRA_REGISTER_SYMBOL, VersionCheck::Asked);
}

bool IsPluginServerPresent()
{
    ClassRegistry registry;
    if (!registry.keyExists(kProbeKey))
        return false;
    char path[kPathBufferSize];
    path[0] = '\0';
    // Whether the read succeeds is not asked: nothing read leaves the empty
    // path, which names no file. A registered path of 260 bytes or more does
    // not fit; the read then stops at the buffer's end, and such a path counts
    // as not present rather than being cut to a shorter one that might name
    // some other file.
    if (registry.queryValue(kProbeKey, "", path, sizeof path) == RegistryStatus::MoreData)
        return false;
    return FileExists(path);
}

void UnregisterPlugin(const char* library) { CallEntryPoint(library, VIDRA_UNREGISTER_SYMBOL); }

void RegisterPlugin(const char* library) { CallEntryPoint(library, VIDRA_REGISTER_SYMBOL); }

bool IsPluginRegistered() { return ClassRegistry().keyExists(kProgIdClsidKey); }

}  // namespace orvane
