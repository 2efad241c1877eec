#include "preview/PluginInterface.h"

#include <cstdio>

namespace orvane {
namespace {

// The table must reach at least to its last member this host calls.
constexpr size_t kNeededTableSize = offsetof(VidraInterface, invoke) + sizeof(VidraInvokeFn);

const VidraInterface* Refuse(const char* name, const char* why, unsigned version)
{
    std::fprintf(stderr, "orvane: %s is not used: %s (this Orvane needs video plug-in interface version %d, found %u)\n",
                 name, why, VIDRA_INTERFACE_VERSION, version);
    return nullptr;
}

}  // namespace

const VidraInterface* PluginInterfaceOf(const SharedLibrary& plugin, const char* name)
{
    auto version = plugin.function<VidraInterfaceVersionFn>(VIDRA_INTERFACE_VERSION_SYMBOL);
    if (version == nullptr)
        return Refuse(name, "it exports no interface version", 0);
    const uint32_t theirs = version();
    if (theirs != VIDRA_INTERFACE_VERSION)
        return Refuse(name, "it is built for another interface version", theirs);
    auto table = plugin.function<VidraGetInterfaceFn>(VIDRA_GET_INTERFACE_SYMBOL);
    const VidraInterface* members = table != nullptr ? table() : nullptr;
    if (members == nullptr || members->size < kNeededTableSize || members->version != theirs)
        return Refuse(name, "its dispatch table is missing or short", theirs);
    return members;
}

}  // namespace orvane
