// One video control in a window of its own, as the main window hosts it:
// loads the plug-in, places a top-level window at the given rectangle and
// opens the stream. Runs until it is killed; the plug-in's VIDRA_LOG tells
// when the first picture was shown.
//   preview_bench ADDRESS STREAM X Y WIDTH HEIGHT

#include "registry/SharedLibrary.h"
#include "preview/PluginInterface.h"
#include "vidra/VidraApi.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: preview_bench ADDRESS STREAM X Y WIDTH HEIGHT\n");
        return 2;
    }
    // The window's own loader: the same interface version check, the same table.
    const orvane::SharedLibrary plugin = orvane::SharedLibrary::LoadFile(VIDRA_LIBRARY_PATH);
    if (!plugin.loaded()) {
        std::fprintf(stderr, "preview_bench: %s\n", plugin.error().c_str());
        return 1;
    }
    const VidraInterface* vidra = orvane::PluginInterfaceOf(plugin, VIDRA_LIBRARY_PATH);
    if (vidra == nullptr)
        return 1;
    const VidraCreateControlFn create = vidra->createControl;
    const VidraInvokeFn invoke = vidra->invoke;

    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    auto* control = static_cast<QWidget*>(create(VIDRA_CONTROL_CLSID, &window));
    control->setGeometry(0, 0, window.width(), window.height());
    window.show();
    const VidraArgument arguments[2] = {
        {VidraArgument::Text, argv[1], 0},
        {VidraArgument::Int16, nullptr, static_cast<int16_t>(std::atoi(argv[2]))},
    };
    invoke(control, kVidraOpenStream, arguments, 2);
    return app.exec();
}
