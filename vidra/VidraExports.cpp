// The plug-in's C entry points for its host: creating the control by class
// identifier and calling its members by dispatch identifier.

#include "vidra/VidraApi.h"
#include "vidra/VidraControl.h"

#include <dlfcn.h>

#include <cstring>
#include <type_traits>

namespace {

// The control's decoding threads run this library's code after a stream
// is closed, so the library must never be unloaded while they may live.
void KeepLoaded()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&KeepLoaded), &self) != 0 && self.dli_fname != nullptr)
        dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* VidraCreateControl(const char* clsid, void* parent)
{
    if (clsid == nullptr || std::strcmp(clsid, VIDRA_CONTROL_CLSID) != 0)
        return nullptr;
    KeepLoaded();
    return new vidra::VidraControl(static_cast<QWidget*>(parent));
}

extern "C" __attribute__((visibility("default"))) int32_t VidraInvoke(void* control, int32_t dispId,
                                                                      const VidraArgument* arguments, int32_t count)
{
    auto* widget = static_cast<vidra::VidraControl*>(control);
    if (widget == nullptr)
        return kVidraNoControl;
    switch (dispId) {
    case kVidraCloseStream:
        if (count != 0)
            return kVidraBadArguments;
        widget->CloseStream();
        return kVidraOk;
    case kVidraOpenStream:
        if (count != 2 || arguments == nullptr || arguments[0].type != VidraArgument::Text ||
            arguments[1].type != VidraArgument::Int16)
            return kVidraBadArguments;
        widget->OpenStream(arguments[0].text != nullptr ? arguments[0].text : "", arguments[1].number);
        return kVidraOk;
    default:
        return kVidraUnknownMember;
    }
}

extern "C" __attribute__((visibility("default"))) uint32_t VidraInterfaceVersion(void)
{
    return VIDRA_INTERFACE_VERSION;
}

extern "C" __attribute__((visibility("default"))) const VidraInterface* VidraGetInterface(void)
{
    static const VidraInterface table{sizeof(VidraInterface), VIDRA_INTERFACE_VERSION, VidraCreateControl, VidraInvoke};
    return &table;
}

static_assert(std::is_same_v<decltype(&VidraInterfaceVersion), VidraInterfaceVersionFn>);
static_assert(std::is_same_v<decltype(&VidraGetInterface), VidraGetInterfaceFn>);
