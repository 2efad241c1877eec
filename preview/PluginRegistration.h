#pragma once
// The main window's "Reg Activex" command: has the Vidra plug-in register
// itself again, unregistering first when its server is registered with a file
// that exists. Nothing is reported to the operator, whatever fails.
//
// The library is loaded by name through the dynamic linker's search order,
// never from the path in the registry, which may name another file. Tests
// pass the names of test doubles instead.

#include "vidra/VidraApi.h"

namespace orvane {

// Command id of "Reg Activex", the fifth item of the row menu.
inline constexpr int kRegActivexCommand = 32783;

// Handler of command 32783: UnregisterPlugin when IsPluginServerPresent, then
// RegisterPlugin in every case.
void OnRegActivex(const char* library = VIDRA_LIBRARY);

// True when CLSID\{server}\InprocServer32 exists and its default value names
// a file that exists.
bool IsPluginServerPresent();

// Load library, call its DllUnregisterServer (or DllRegisterServer) when it
// exports one, ignore the result, unload. A library that cannot be loaded
// is left alone.
void UnregisterPlugin(const char* library = VIDRA_LIBRARY);
void RegisterPlugin(const char* library = VIDRA_LIBRARY);

// True when the control's ProgID has its Clsid key: the plug-in is installed.
bool IsPluginRegistered();

}  // namespace orvane
