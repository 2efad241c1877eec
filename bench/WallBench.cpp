// The live wall as the main window opens it, in a frameless window at the
// screen's top left: the cameras given, each at the stream numbers of a
// camera without the old numbering (720P 5, 1080P 4). Registers the built
// plug-in in a registry of its own first. Prints "tiles X,Y,W,H ..." once
// laid out, "all-playing ms=N" when every tile shows its camera's picture,
// then, with --shot, writes a screenshot of the wall and goes on until it
// is killed.
//   wall_bench [--shot FILE] WIDTH HEIGHT ADDRESS...

#include "ui/CLiveWallDlg.h"
#include "ui/Resources.h"
#include "vidra/VidraApi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool RegisterPlugin(const QTemporaryDir& registry)
{
    setenv("XDG_DATA_HOME", registry.path().toUtf8().constData(), 1);
    void* library = dlopen(VIDRA_LIBRARY_PATH, RTLD_NOW);
    auto registerServer = library ? reinterpret_cast<VidraRegisterFn>(dlsym(library, VIDRA_REGISTER_SYMBOL)) : nullptr;
    return registerServer != nullptr && registerServer() == 0;
}

bool AllPlaying(const CLiveWallDlg& wall)
{
    for (const auto& tile : wall.tiles()) {
        if (tile->caption() != QString::fromStdString(tile->camera().ip))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    int first = 1;
    const char* shot = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "--shot") == 0) {
        shot = argv[2];
        first = 3;
    }
    if (argc - first < 3) {
        std::fprintf(stderr, "usage: wall_bench [--shot FILE] WIDTH HEIGHT ADDRESS...\n");
        return 2;
    }
    QTemporaryDir registry;
    if (!registry.isValid() || !RegisterPlugin(registry)) {
        std::fprintf(stderr, "wall_bench: cannot register the plug-in\n");
        return 1;
    }
    std::vector<CWallTile::Camera> cameras;
    for (int i = first + 2; i < argc; ++i)
        cameras.push_back({argv[i], 5, 4});
    auto* wall = new CLiveWallDlg(cameras, nullptr);
    wall->setWindowFlag(Qt::FramelessWindowHint);
    wall->setGeometry(0, 0, std::atoi(argv[first]), std::atoi(argv[first + 1]));
    QElapsedTimer opened;
    opened.start();
    wall->show();

    QTimer poll;
    bool told = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (told || !AllPlaying(*wall))
            return;
        told = true;
        std::printf("all-playing ms=%lld\n", static_cast<long long>(opened.elapsed()));
        std::printf("tiles");
        for (const auto& tile : wall->tiles()) {
            const QPoint at = tile->widget()->mapToGlobal(QPoint(0, 0));
            std::printf(" %s=%d,%d,%d,%d", tile->camera().ip.c_str(), at.x(), at.y(), tile->widget()->width(),
                        tile->widget()->height());
        }
        std::printf("\n");
        std::fflush(stdout);
        if (shot != nullptr) {
            QTimer::singleShot(1500, wall, [wall, shot] {
                wall->screen()->grabWindow(wall->winId()).save(QString::fromLocal8Bit(shot));
                std::printf("shot %s\n", shot);
                std::fflush(stdout);
            });
        }
    });
    poll.start(10);
    return app.exec();
}
