#pragma once
// The Vidra plug-in's binary interface, the only thing its host includes.
// libvidra.so is loaded at run time, never linked: the host finds the
// library through the class registry, creates the control widget by its
// class identifier and calls the control's members by dispatch identifier.

#include <cstdint>

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

// Calls member dispId of control with count arguments in order; returns 0 on
// success, a negative value for an unknown member or wrong arguments.
typedef int32_t (*VidraInvokeFn)(void* control, int32_t dispId, const VidraArgument* arguments, int32_t count);

// Self-registration: write or remove the plug-in's keys in the class
// registry. 0 on success, as HRESULT S_OK.
typedef int32_t (*VidraRegisterFn)(void);

}

#define VIDRA_CREATE_CONTROL_SYMBOL "VidraCreateControl"
#define VIDRA_INVOKE_SYMBOL "VidraInvoke"
#define VIDRA_REGISTER_SYMBOL "DllRegisterServer"
#define VIDRA_UNREGISTER_SYMBOL "DllUnregisterServer"

// The control's stream state, a text property of the control widget:
// "closed", "connecting", "playing", "failed" or "ended".
#define VIDRA_STATE_PROPERTY "vidraState"
