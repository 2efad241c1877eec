#include "preview/CTarnFFMpeg.h"

#include "registry/ClassRegistry.h"
#include "preview/PluginInterface.h"

#include <QRect>

#include <limits.h>

#include <cstdio>

#include <string>

namespace {

// Where the class registry says the control class lives, as COM's control
// container looks it up; empty when it does not say.
std::string ControlLibraryPath()
{
    char path[PATH_MAX] = {};
    const std::string key = std::string("CLSID\\") + CTarnFFMpeg::kClassId + "\\InprocServer32";
    if (orvane::ClassRegistry().queryValue(key, "", path, sizeof path) != orvane::RegistryStatus::Ok)
        return {};
    return path;
}

// The window goes on without a preview, so this line is the only trace of
// a registration that names a library which is gone or broken.
bool CannotCreate(const std::string& path, const char* why)
{
    std::fprintf(stderr, "orvane: cannot create the video control from %s: %s\n", path.c_str(), why);
    return false;
}

}  // namespace

CTarnFFMpeg::~CTarnFFMpeg()
{
    // The control's code lives in the library: it goes before the library does.
    delete control_.data();
}

bool CTarnFFMpeg::Create(const char* /*className*/, const char* windowName, unsigned style, const QRect& rect,
                         QWidget* parent, int id)
{
    const std::string path = ControlLibraryPath();
    if (path.empty())
        return false;
    orvane::SharedLibrary library = orvane::SharedLibrary::LoadFile(path.c_str());
    if (!library.loaded())
        return CannotCreate(path, library.error().c_str());
    // A plug-in of another interface version has said why on stderr already.
    const VidraInterface* members = orvane::PluginInterfaceOf(library, path.c_str());
    if (members == nullptr)
        return false;
    auto create = members->createControl;
    auto invoke = members->invoke;
    if (create == nullptr || invoke == nullptr)
        return CannotCreate(path, "its dispatch table has no control members");
    auto* control = static_cast<QWidget*>(create(kClassId, parent));
    if (control == nullptr)
        return CannotCreate(path, "the library does not make this class");
    library_ = std::move(library);
    invoke_ = invoke;
    control_ = control;
    control->setObjectName(QStringLiteral("c%1").arg(id));
    control->setWindowTitle(QString::fromUtf8(windowName != nullptr ? windowName : ""));
    control->setGeometry(rect);
    control->setVisible((style & kVisibleStyle) != 0);
    return true;
}

void CTarnFFMpeg::invoke(int32_t dispId, const VidraArgument* arguments, int32_t count)
{
    if (invoke_ != nullptr && control_ != nullptr)
        invoke_(control_.data(), dispId, arguments, count);
}

void CTarnFFMpeg::CloseStream()
{
    invoke(kVidraCloseStream, nullptr, 0);
}

void CTarnFFMpeg::OpenStream(const char* address, int16_t stream)
{
    const VidraArgument arguments[2] = {
        {VidraArgument::Text, address, 0},
        {VidraArgument::Int16, nullptr, stream},
    };
    invoke(kVidraOpenStream, arguments, 2);
}

void CTarnFFMpeg::ShowWindow(bool show)
{
    if (control_ != nullptr)
        control_->setVisible(show);
}
