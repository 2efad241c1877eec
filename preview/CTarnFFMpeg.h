#pragma once
// The host's wrapper over the Vidra video control: creates the control by
// its class identifier from the library that the class registry names for
// it, and calls its two members by dispatch identifier. Every call is a
// no-op while no control exists; no call's outcome is looked at.

#include "registry/SharedLibrary.h"
#include "vidra/VidraApi.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>

class QRect;

class CTarnFFMpeg {
public:
    // The control's class; the main window's template places it as control 1020.
    static constexpr char kClassId[] = VIDRA_CONTROL_CLSID;
    static constexpr unsigned kVisibleStyle = 0x10000000;  // WS_VISIBLE

    CTarnFFMpeg() = default;
    ~CTarnFFMpeg();
    CTarnFFMpeg(const CTarnFFMpeg&) = delete;
    CTarnFFMpeg& operator=(const CTarnFFMpeg&) = delete;

    // The class name is ignored: the control comes from kClassId. Returns
    // false when the class is not registered, its library does not load or
    // does not make the control.
    bool Create(const char* className, const char* windowName, unsigned style, const QRect& rect, QWidget* parent,
                int id);

    void CloseStream();                                  // member 38
    void OpenStream(const char* address, int16_t stream);  // member 39

    QWidget* window() const { return control_; }
    void ShowWindow(bool show);

private:
    void invoke(int32_t dispId, const VidraArgument* arguments, int32_t count);

    orvane::SharedLibrary library_;
    VidraInvokeFn invoke_ = nullptr;
    QPointer<QWidget> control_;
};
