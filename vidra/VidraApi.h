#pragma once
// The Vidra plug-in's binary interface, the only thing its host includes.
// libvidra.so is loaded at run time, never linked: the host finds the
// library through the class registry, creates the control widget by its
// class identifier and calls the control's members by dispatch identifier.
//
// A host and a plug-in built apart agree through the interface version: the
// plug-in exports it (VidraInterfaceVersion), and a host refuses a plug-in
// of any other version before it calls anything else. The dispatch table
// (VidraGetInterface) carries its own size, so a later version may append
// members without moving the ones before them.

#include <cstddef>
#include <cstdint>

// Raised whenever a type, a member's meaning or the table's layout changes.
#define VIDRA_INTERFACE_VERSION 1

// The video control's class, created in the main window as control 1020.
#define VIDRA_CONTROL_CLSID "{9D3A6F1E-4C2B-4E8A-9B61-2F7C5D0E8A13}"
// The plug-in's server class: its InprocServer32 key names the library file.
#define VIDRA_SERVER_CLSID "{9D3A6F1F-4C2B-4E8A-9B61-2F7C5D0E8A13}"
#define VIDRA_PROGID "Vidra.TarnFFMpeg.1"
#define VIDRA_LIBRARY "libvidra.so"

enum VidraDispatchId : int32_t {
    kVidraCloseStream = 38,
    kVidraOpenStream = 39,
};

// What a dispatch call gives back.
enum VidraResult : int32_t {
    kVidraOk = 0,
    kVidraNoControl = -1,      // the control pointer is null
    kVidraBadArguments = -2,   // wrong number or types of arguments for the member
    kVidraUnknownMember = -3,  // no member of that dispatch identifier
};

// One argument of a dispatch call.
struct VidraArgument {
    enum Type : int32_t { Text = 0x0E, Int16 = 0x02 } type;
    const char* text;  // Text: zero-terminated, as the host's list holds it
    int16_t number;    // Int16
};

extern "C" {

// Creates the control of class clsid as a child of parent (a QWidget*) and
// returns it as a QWidget*, or null for an unknown class. The control is
// owned by its parent.
typedef void* (*VidraCreateControlFn)(const char* clsid, void* parent);

// Calls member dispId of control with count arguments in order; returns a
// VidraResult.
typedef int32_t (*VidraInvokeFn)(void* control, int32_t dispId, const VidraArgument* arguments, int32_t count);

// The plug-in's dispatch table. size is sizeof(VidraInterface) as the
// plug-in was built: a host uses a member only when size covers it.
struct VidraInterface {
    uint32_t size;
    uint32_t version;  // VIDRA_INTERFACE_VERSION of the plug-in
    VidraCreateControlFn createControl;
    VidraInvokeFn invoke;
};

// The interface version the plug-in was built for.
typedef uint32_t (*VidraInterfaceVersionFn)(void);
// The plug-in's dispatch table, valid while the library stays loaded.
typedef const VidraInterface* (*VidraGetInterfaceFn)(void);

// Self-registration: write or remove the plug-in's keys in the class
// registry. 0 on success, as HRESULT S_OK.
typedef int32_t (*VidraRegisterFn)(void);

}

#define VIDRA_INTERFACE_VERSION_SYMBOL "VidraInterfaceVersion"
#define VIDRA_GET_INTERFACE_SYMBOL "VidraGetInterface"
#define VIDRA_CREATE_CONTROL_SYMBOL "VidraCreateControl"
#define VIDRA_INVOKE_SYMBOL "VidraInvoke"
#define VIDRA_REGISTER_SYMBOL "DllRegisterServer"
#define VIDRA_UNREGISTER_SYMBOL "DllUnregisterServer"

// The control's stream state, a text property of the control widget:
// "closed", "connecting", "playing", "failed" or "ended".
#define VIDRA_STATE_PROPERTY "vidraState"
