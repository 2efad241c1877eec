// A host of one video control, for the interop cases: loads the plug-in
// as the main window does, opens ADDRESS STREAM (VIDRA_URL, VIDRA_USER and
// VIDRA_PASSWORD steer it as they steer Orvane), prints every text the
// control shows as it changes ("text: ..."), and "moving" once
// two looks at the picture 400 ms or more apart differ. Exit 0 then; 1 when
// the picture did not move within SECONDS.
//   vidra_picture_peek ADDRESS STREAM SECONDS

#include "registry/SharedLibrary.h"
#include "preview/PluginInterface.h"
#include "vidra/VidraApi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kLookEvery_ms = 100;
constexpr int kLooksApart_ms = 400;

// Whether the picture changed between two looks. Only the upper part is
// compared: the control's short line about the stream appears at the bottom
// a moment after the first picture, and would count as movement.
bool Moved(const QImage& before, const QImage& after)
{
    if (before.size() != after.size())
        return false;
    const int rows = before.height() * 2 / 5;
    long changed = 0;
    long total = 0;
    for (int y = 0; y < rows; ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(after.constScanLine(y));
        for (int x = 0; x < before.width(); ++x, ++total)
            changed += a[x] != b[x] ? 1 : 0;
    }
    return total > 0 && changed * 200 > total;  // more than half a per cent
}

// Black all over: what the control shows before any picture.
bool Blank(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 4) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += 4) {
            if (qGray(row[x]) > 40)
                return false;
        }
    }
    return true;
}

// The decoding thread ends on its own after CloseStream; leaving before it
// has would leave its buffers to the exit, where a leak check counts them.
void WaitForDecodersToEnd()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 3000) {
        bool running = false;
        for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(task));
            running = running || (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("vidra-decode"));
        }
        if (!running)
            return;
        QThread::msleep(20);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: vidra_picture_peek ADDRESS STREAM SECONDS\n");
        return 2;
    }
    // The window's own loader: the same interface version check, the same table.
    const orvane::SharedLibrary plugin = orvane::SharedLibrary::LoadFile(VIDRA_LIBRARY_PATH);
    if (!plugin.loaded()) {
        std::fprintf(stderr, "vidra_picture_peek: %s\n", plugin.error().c_str());
        return 2;
    }
    const VidraInterface* vidra = orvane::PluginInterfaceOf(plugin, VIDRA_LIBRARY_PATH);
    if (vidra == nullptr)
        return 2;
    const VidraCreateControlFn create = vidra->createControl;
    const VidraInvokeFn invoke = vidra->invoke;

    QWidget window;
    window.resize(640, 360);
    auto* control = static_cast<QWidget*>(create(VIDRA_CONTROL_CLSID, &window));
    control->setGeometry(0, 0, window.width(), window.height());
    window.show();
    const VidraArgument arguments[2] = {
        {VidraArgument::Text, argv[1], 0},
        {VidraArgument::Int16, nullptr, static_cast<int16_t>(std::atoi(argv[2]))},
    };
    invoke(control, kVidraOpenStream, arguments, 2);

    const int allowed_ms = std::atoi(argv[3]) * 1000;
    QElapsedTimer clock;
    clock.start();
    QString shown = QStringLiteral("\n");  // no text yet, not even an empty one
    QImage earlier;
    qint64 earlierAt = 0;
    int result = 1;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (control->accessibleDescription() != shown) {
            shown = control->accessibleDescription();
            std::printf("text: %s\n", qPrintable(shown));
            std::fflush(stdout);
        }
        if (control->property(VIDRA_STATE_PROPERTY).toString() == QLatin1String("playing")) {
            const QImage now = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
            if (earlier.isNull() || Blank(earlier)) {
                earlier = now;
                earlierAt = clock.elapsed();
            } else if (clock.elapsed() - earlierAt >= kLooksApart_ms) {
                if (Moved(earlier, now)) {
                    std::printf("moving\n");
                    result = 0;
                    app.quit();
                    return;
                }
                earlier = now;
                earlierAt = clock.elapsed();
            }
        }
        if (clock.elapsed() > allowed_ms) {
            std::printf("no moving picture within %d ms\n", allowed_ms);
            app.quit();
        }
    });
    look.start(kLookEvery_ms);
    app.exec();
    invoke(control, kVidraCloseStream, nullptr, 0);
    WaitForDecodersToEnd();
    return result;
}
