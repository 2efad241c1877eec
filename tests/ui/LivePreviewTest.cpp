// Live preview on the test LAN under Xvfb: the main window, with the real
// plug-in registered, shows a simulated camera's stream after Link, and the
// picture on the screen moves on; a camera without a stream, and one whose
// stream stops, leave the reason in the control while the window keeps
// working. Runs inside scripts/test-lan with the cameras of
// tests/ui/CMakeLists.txt.

#include "tests/ui/ModalDriver.h"
#include "tests/ui/PluginTestSupport.h"
#include "tests/ui/UiTestSetup.h"
#include "tools/ipc-sim/TimeStrip.h"
#include "ui/COrvaneDlg.h"
#include "vidra/VidraApi.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>


#include <cstdlib>
#include <memory>
#include <optional>

namespace {

int CountLines(const QString& log, const QByteArray& start)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        count += line.startsWith(start) ? 1 : 0;
    return count;
}

// The size of the first picture shown, as the control logs it.
QSize FirstPictureSize(const QString& log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int at = line.indexOf(" size=");
        if (!line.startsWith("first-picture") || at < 0)
            continue;
        const QList<QByteArray> sides = line.mid(at + 6).split('x');
        if (sides.size() == 2)
            return QSize(sides[0].toInt(), sides[1].toInt());
    }
    return {};
}

}  // namespace

class LivePreviewTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    QTemporaryDir data;
    QString log;
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;

    QWidget* control() { return window->preview().window(); }

    // What the screen shows where the control is.
    QImage screenOfControl()
    {
        const QRect area = control()->geometry();
        return window->screen()
            ->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    static std::optional<int64_t> StripTime(const QImage& image)
    {
        return orvane::sim::ReadTimeStrip(reinterpret_cast<const uint32_t*>(image.constBits()), image.width(),
                                          image.height(), static_cast<int>(image.bytesPerLine() / 4));
    }
    void link(int row, int command) { ClickRowAndCommand(*window, row, command); }

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
        log = data.filePath(QStringLiteral("vidra.log"));
        setenv("VIDRA_LOG", log.toUtf8().constData(), 1);
        QVERIFY(RegisterBuiltPlugin());
    }
    // Every case: a window of its own, filled by a search, and an empty log.
    void init()
    {
        QFile::remove(log);
        window = std::make_unique<COrvaneDlg>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        driver = std::make_unique<ModalDriver>();
        window->OnSearch();
        QCOMPARE(window->listView()->topLevelItemCount(), 3);
        QVERIFY(control() != nullptr);
    }
    void cleanup()
    {
        driver.reset();
        window.reset();
    }
    // Links the first camera and waits for its first picture.
    void showFirstCamera()
    {
        link(0, COrvaneDlg::kLink1080P);
        QTRY_VERIFY_WITH_TIMEOUT(CountLines(log, "first-picture") == 1, 5000);
    }

    void linkShowsTheCamerasMovingPicture()
    {
        QVERIFY(control()->isHidden());
        link(0, COrvaneDlg::kLink1080P);  // 10.77.0.11, V2.4.3: stream 0
        QVERIFY(control()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(CountLines(log, "first-picture") == 1, 5000);
        QCOMPARE(CountLines(log, "OpenStream address=10.77.0.11 stream=0"), 1);
        // No ONVIF on this camera: the pattern.
        QCOMPARE(CountLines(log, "located address=10.77.0.11 stream=0 url=rtsp://10.77.0.11:554/main source=pattern"), 1);

        QTest::qWait(200);
        const QImage first = screenOfControl();
        QTest::qWait(600);
        const QImage second = screenOfControl();
        QVERIFY2(first != second, "the picture on the screen did not change");
        const std::optional<int64_t> firstMade = StripTime(first);
        const std::optional<int64_t> secondMade = StripTime(second);
        QVERIFY2(firstMade && secondMade, "no frame time readable on the screen");
        QVERIFY2(*secondMade - *firstMade >= 300, qPrintable(QString::number(*secondMade - *firstMade)));
        QCOMPARE(control()->accessibleDescription(), QString());
        QCOMPARE(control()->property(VIDRA_STATE_PROPERTY).toString(), QStringLiteral("playing"));
        // The decoder converts straight to the control's size: a 1080p
        // picture arrives already fitted, never at the camera's size.
        QSize expected(1920, 1080);
        expected.scale(control()->size(), Qt::KeepAspectRatio);
        QCOMPARE(FirstPictureSize(log), expected);
    }

    void secondLinkOpensAgainWithoutClosing()
    {
        showFirstCamera();
        link(0, COrvaneDlg::kLink720P);
        QCOMPARE(CountLines(log, "OpenStream address=10.77.0.11 stream=1"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(
            CountLines(log, "located address=10.77.0.11 stream=1 url=rtsp://10.77.0.11:554/sub source=pattern"), 1, 3000);
        QCOMPARE(CountLines(log, "CloseStream"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(CountLines(log, "first-picture") == 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(StripTime(screenOfControl()).has_value(), 3000);
    }

    void cameraWithoutAStreamShowsWhyWhileTheWindowWorks()
    {
        showFirstCamera();
        QTRY_VERIFY_WITH_TIMEOUT(StripTime(screenOfControl()).has_value(), 3000);
        QElapsedTimer call;
        call.start();
        link(1, COrvaneDlg::kLink720P);  // 10.77.0.12 serves no stream: 5
        QVERIFY2(call.elapsed() < 200, "Link waited for the camera");
        QCOMPARE(CountLines(log, "OpenStream address=10.77.0.12 stream=5"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(control()->accessibleDescription().startsWith(QStringLiteral("No stream from 10.77.0.12")),
                                 5000);
        QVERIFY2(!StripTime(screenOfControl()).has_value(), "the old camera's picture is still shown");
        // The window still answers the operator.
        window->AddCameraRow("10.77.0.99", "?", "?", 0, 0, "?", "1");
        QCOMPARE(window->listView()->topLevelItemCount(), 4);
    }

    void streamThatStopsSaysSo()
    {
        link(2, COrvaneDlg::kLink1080P);  // 10.77.0.13 stops sending after 2 s
        QTRY_VERIFY_WITH_TIMEOUT(CountLines(log, "first-picture") == 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(control()->accessibleDescription(), QStringLiteral("The stream from 10.77.0.13 stopped"),
                                  12000);
    }

    void exitClosesTheStreamOnce()
    {
        showFirstCamera();
        QTest::mouseClick(window->findChild<QPushButton*>("exitButton"), Qt::LeftButton);
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(CountLines(log, "CloseStream"), 1);
    }
};

QTEST_MAIN(LivePreviewTest)
#include "LivePreviewTest.moc"
