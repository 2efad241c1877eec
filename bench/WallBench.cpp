// The live wall as the main window opens it, in a frameless window at the
// screen's top left: the cameras given, each at the stream numbers of a
// camera without the old numbering (720P 5, 1080P 4). Registers the built
// plug-in in a registry of its own first. Prints "tiles X,Y,W,H ..." once
// laid out, "all-playing ms=N" when every tile shows its camera's picture,
// then, with --shot, writes a screenshot of the wall (after 12 s at the
// latest, then with "not-all-playing") and goes on until it is killed. With --cycles N it opens the wall, waits until every tile plays,
// closes it and waits until the process has no more threads than before,
// N times, printing each cycle; it ends with 0 when every cycle did both.
//   wall_bench [--shot FILE | --cycles N] WIDTH HEIGHT ADDRESS...

#include "preview/PluginRegistration.h"
#include "ui/CLiveWallDlg.h"
#include "ui/Resources.h"
#include "vidra/VidraApi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QElapsedTimer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool RegisterPlugin(const QTemporaryDir& registry)
{
    setenv("XDG_DATA_HOME", registry.path().toUtf8().constData(), 1);
    // As Reg Activex registers it: the interface version checked first.
    orvane::RegisterPlugin(VIDRA_LIBRARY_PATH);
    return orvane::IsPluginRegistered();
}

bool AllPlaying(const CLiveWallDlg& wall)
{
    for (const auto& tile : wall.tiles()) {
        if (tile->caption() != QString::fromStdString(tile->camera().ip))
            return false;
    }
    return true;
}

int ThreadCount()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// The plug-in's decoding threads, by the name they give themselves.
int DecodingThreads()
{
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        count += name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "vidra-decode" ? 1 : 0;
    }
    return count;
}

// Runs the events until done() holds, for at most timeout_ms.
template <typename Done>
bool WaitFor(Done done, int timeout_ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeout_ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

int OpenAndClose(const std::vector<CWallTile::Camera>& cameras, int width, int height, int cycles)
{
    // Qt starts threads of its own with the first window (D-Bus, the X
    // connection): the count after the first cycle is the one to keep.
    int threadsBefore = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QElapsedTimer opened;
        opened.start();
        QPointer<CLiveWallDlg> wall = new CLiveWallDlg(cameras, nullptr);
        wall->setGeometry(0, 0, width, height);
        wall->show();
        const bool played = WaitFor([&] { return AllPlaying(*wall); }, 10000);
        const long long playing_ms = opened.elapsed();
        const int decoding = DecodingThreads();
        wall->close();
        const bool gone = WaitFor([&] { return wall.isNull(); }, 2000);
        const bool ended = WaitFor([&] { return DecodingThreads() == 0; }, 8000);
        if (cycle == 1)
            threadsBefore = ThreadCount();
        const bool kept = ThreadCount() <= threadsBefore;
        std::printf("cycle %d: %s after %lld ms with %d decoding threads, %s, %d left, threads %d (after the first: %d)\n",
                    cycle, played ? "every tile playing" : "NOT every tile playing", playing_ms, decoding,
                    gone ? "closed" : "NOT closed", DecodingThreads(), ThreadCount(), threadsBefore);
        std::fflush(stdout);
        if (!played || !gone || !ended || !kept)
            return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    int first = 1;
    const char* shot = nullptr;
    int cycles = 0;
    if (argc > 2 && std::strcmp(argv[1], "--shot") == 0) {
        shot = argv[2];
        first = 3;
    } else if (argc > 2 && std::strcmp(argv[1], "--cycles") == 0) {
        cycles = std::atoi(argv[2]);
        first = 3;
    }
    if (argc - first < 3) {
        std::fprintf(stderr, "usage: wall_bench [--shot FILE | --cycles N] WIDTH HEIGHT ADDRESS...\n");
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
    if (cycles > 0)
        return OpenAndClose(cameras, std::atoi(argv[first]), std::atoi(argv[first + 1]), cycles);
    auto* wall = new CLiveWallDlg(cameras, nullptr);
    wall->setWindowFlag(Qt::FramelessWindowHint);
    wall->setGeometry(0, 0, std::atoi(argv[first]), std::atoi(argv[first + 1]));
    QElapsedTimer opened;
    opened.start();
    wall->show();

    QTimer poll;
    bool told = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // A wall with cameras that never play is shot after 12 s, to look at
        // the tiles' states.
        const bool playing = AllPlaying(*wall);
        if (told || (!playing && (shot == nullptr || opened.elapsed() < 12000)))
            return;
        told = true;
        std::printf("%s ms=%lld\n", playing ? "all-playing" : "not-all-playing", static_cast<long long>(opened.elapsed()));
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
