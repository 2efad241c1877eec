#pragma once
// The host's side of the plug-in interface version: a plug-in built for
// another version of the interface is refused before anything of it is
// called, with one line on stderr naming the library and both versions.
// The window's video control and Reg Activex ask the same question.

#include "registry/SharedLibrary.h"
#include "vidra/VidraApi.h"

namespace orvane {

// The plug-in's dispatch table when plugin speaks this host's interface
// version and its table holds every member the host calls; otherwise
// nullptr, after the line on stderr. name is how the line names the library.
const VidraInterface* PluginInterfaceOf(const SharedLibrary& plugin, const char* name);

}  // namespace orvane
