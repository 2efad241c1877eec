// The live wall on the test LAN under Xvfb: four cameras' moving pictures
// at once, read back from each tile's time strip on the screen; a
// double-click plays one camera's 1080P stream across the wall and back; a
// stream that stops says so on its tile and comes back by itself; closing
// the wall ends every RTSP session the simulator had and every decoding
// thread; a right-click saves a tile's picture. Runs inside scripts/test-lan with the cameras of
// tests/ui/CMakeLists.txt.

#include "tests/ui/ModalDriver.h"
#include "tests/ui/PluginTestSupport.h"
#include "tests/ui/UiTestSetup.h"
#include "tools/ipc-sim/TimeStrip.h"
#include "ui/CLiveWallDlg.h"
#include "ui/COrvaneDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

int CountLines(const QString& path, const QByteArray& start)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        count += line.startsWith(start) ? 1 : 0;
    return count;
}

int ThreadCount()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

const QStringList kLive = {"10.77.0.11", "10.77.0.12", "10.77.0.13", "10.77.0.14"};
const QString kStalling = QStringLiteral("10.77.0.15");
const QString kRefusing = QStringLiteral("10.77.0.16");

}  // namespace

class LiveWallTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    QTemporaryDir data;
    QString log;
    QString simLog = QString::fromLocal8Bit(qgetenv("ORVANE_SIM_LOG"));
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;
    QPointer<CLiveWallDlg> wall;

    int rowOf(const QString& ip)
    {
        QTreeWidget* view = window->listView();
        for (int row = 0; row < view->topLevelItemCount(); ++row) {
            if (view->topLevelItem(row)->text(0) == ip || view->topLevelItem(row)->text(1) == ip)
                return row;
        }
        return -1;
    }
    // Selects the rows of these cameras and opens the wall from the row menu's command.
    void openWall(const QStringList& ips)
    {
        QTreeWidget* view = window->listView();
        view->clearSelection();
        for (const QString& ip : ips) {
            const int row = rowOf(ip);
            QVERIFY2(row >= 0, qPrintable(ip));
            view->topLevelItem(row)->setSelected(true);
        }
        window->OnCommand(COrvaneDlg::kLiveWall);
        wall = window->findChild<CLiveWallDlg*>();
        QVERIFY(wall != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(wall.data()));
        QCOMPARE(wall->tiles().size(), size_t(ips.size()));
    }
    const CWallTile& tile(int i) { return *wall->tiles()[size_t(i)]; }
    bool allPlaying()
    {
        for (const auto& t : wall->tiles()) {
            if (t->caption() != QString::fromStdString(t->camera().ip))
                return false;
        }
        return true;
    }
    // What the screen shows where a tile is.
    QImage screenOf(const QWidget* widget)
    {
        const QPoint at = widget->mapTo(wall.data(), QPoint(0, 0));
        return wall->screen()
            ->grabWindow(wall->winId(), at.x(), at.y(), widget->width(), widget->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    static std::optional<int64_t> StripTime(const QImage& image)
    {
        return orvane::sim::ReadTimeStrip(reinterpret_cast<const uint32_t*>(image.constBits()), image.width(),
                                          image.height(), static_cast<int>(image.bytesPerLine() / 4));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        QVERIFY(!simLog.isEmpty());
        setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
        log = data.filePath(QStringLiteral("vidra.log"));
        setenv("VIDRA_LOG", log.toUtf8().constData(), 1);
        QVERIFY(RegisterBuiltPlugin());
    }
    void init()
    {
        QFile::remove(log);
        window = std::make_unique<COrvaneDlg>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        driver = std::make_unique<ModalDriver>();
        window->OnSearch();
        QCOMPARE(window->listView()->topLevelItemCount(), 6);
    }
    void cleanup()
    {
        if (wall)
            wall->close();
        QTRY_VERIFY_WITH_TIMEOUT(wall.isNull(), 2000);
        driver.reset();
        window.reset();
    }

    void gridAndWaitsFollowTheirRules()
    {
        const int sides[17] = {1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4};
        for (int count = 0; count <= 16; ++count)
            QCOMPARE(CLiveWallDlg::GridSide(count), sides[count]);
        const int waits_s[8] = {1, 2, 4, 8, 16, 30, 30, 30};
        for (int attempt = 0; attempt < 8; ++attempt)
            QCOMPARE(CWallTile::ReconnectDelay_s(attempt), waits_s[attempt]);
    }

    void fourCamerasShowFourMovingPictures()
    {
        openWall(kLive);
        for (int i = 0; i < 4; ++i) {
            // V2.4.3 numbers its 720P stream 1, the others 5: the Link(720P) rule.
            const QByteArray ip = tile(i).camera().ip.c_str();
            const QByteArray stream = ip == "10.77.0.12" ? "1" : "5";
            QCOMPARE(CountLines(log, "located address=" + ip + " stream=" + stream + " url=rtsp://" + ip + ":554/sub"),
                     1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 8000);
        // The 2x2 grid: four tiles of one size, side by side.
        QCOMPARE(tile(0).widget()->size(), tile(3).widget()->size());
        QVERIFY(tile(0).widget()->geometry().right() < tile(1).widget()->geometry().left());
        QVERIFY(tile(0).widget()->geometry().bottom() < tile(2).widget()->geometry().top());
        for (int i = 0; i < 4; ++i) {
            const QWidget* shown = tile(i).widget();
            std::optional<int64_t> first;
            QTRY_VERIFY_WITH_TIMEOUT((first = StripTime(screenOf(shown))).has_value(), 3000);
            QTest::qWait(500);
            const std::optional<int64_t> second = StripTime(screenOf(shown));
            QVERIFY2(second.has_value(), "no frame time readable on the tile");
            QVERIFY2(*second - *first >= 300, qPrintable(QString::number(*second - *first)));
        }
        // The main window still answers the operator.
        window->AddCameraRow("10.77.0.99", "?", "?", 0, 0, "?", "1");
        QCOMPARE(window->listView()->topLevelItemCount(), 7);
    }

    void doubleClickPlaysTheMainStreamAcrossTheWallAndBack()
    {
        openWall(kLive);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 8000);
        QWidget* first = tile(0).widget();
        const QByteArray ip = tile(0).camera().ip.c_str();
        const QByteArray mainStream = ip == "10.77.0.12" ? "0" : "4";
        QTest::mouseDClick(first, Qt::LeftButton);
        QCOMPARE(wall->enlarged(), &tile(0));
        // The decoder's thread finds the stream, so its line comes a moment later.
        QTRY_COMPARE_WITH_TIMEOUT(
            CountLines(log, "located address=" + ip + " stream=" + mainStream + " url=rtsp://" + ip + ":554/main"), 1,
            3000);
        for (int i = 1; i < 4; ++i)
            QVERIFY(tile(i).widget()->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(first->width() > wall->width() * 9 / 10 && first->height() > wall->height() * 9 / 10,
                                 2000);
        QTRY_VERIFY_WITH_TIMEOUT(first->property("vidraState").toString() == "playing", 8000);
        QTRY_VERIFY_WITH_TIMEOUT(StripTime(screenOf(first)).has_value(), 3000);

        QTest::mouseDClick(first, Qt::LeftButton);
        QCOMPARE(wall->enlarged(), nullptr);
        for (int i = 0; i < 4; ++i)
            QVERIFY(tile(i).widget()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 8000);
        QTRY_VERIFY_WITH_TIMEOUT(first->width() < wall->width() * 6 / 10, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(StripTime(screenOf(tile(3).widget())).has_value(), 3000);
    }

    void streamThatStopsSaysSoAndComesBack()
    {
        openWall({kStalling});
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 8000);
        // About 2 s of pictures, then nothing: the read gives up after 5 s.
        QTRY_COMPARE_WITH_TIMEOUT(tile(0).caption(),
                                  QStringLiteral("10.77.0.15: The stream from 10.77.0.15 stopped; trying again in 1 s"),
                                  12000);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 6000);
        QCOMPARE(CountLines(log, "OpenStream address=10.77.0.15"), 2);
        QTRY_VERIFY_WITH_TIMEOUT(StripTime(screenOf(tile(0).widget())).has_value(), 3000);
    }

    void cameraWithoutAStreamIsTriedAgainLaterEachTime()
    {
        openWall({kRefusing});
        for (const char* wait : {"1", "2", "4"}) {
            QTRY_COMPARE_WITH_TIMEOUT(
                tile(0).caption(),
                QStringLiteral("10.77.0.16: No stream from 10.77.0.16: Connection refused; trying again in %1 s").arg(wait),
                6000);
        }
        QCOMPARE(CountLines(log, "OpenStream address=10.77.0.16"), 3);
    }

    void closingEndsEveryStreamAndThread()
    {
        const int threadsBefore = ThreadCount();
        const int closedBefore = CountLines(simLog, "rtsp-close");
        const int playedBefore = CountLines(simLog, "rtsp-client");
        openWall(kLive);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 8000);
        QCOMPARE(CountLines(simLog, "rtsp-client") - playedBefore, 4);
        wall->close();
        QTRY_VERIFY_WITH_TIMEOUT(wall.isNull(), 2000);
        QCOMPARE(CountLines(log, "CloseStream"), 4);
        QTRY_COMPARE_WITH_TIMEOUT(CountLines(simLog, "rtsp-close") - closedBefore, 4, 8000);
        // Each decoding thread ends once it sees its stop.
        QTRY_VERIFY_WITH_TIMEOUT(ThreadCount() <= threadsBefore, 8000);
    }

    void rightClickSavesTheTilesPicture()
    {
        openWall({kLive[0]});
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(), 8000);
        QWidget* shown = tile(0).widget();
        QTRY_VERIFY_WITH_TIMEOUT(StripTime(screenOf(shown)).has_value(), 3000);
        const QString path = data.filePath(QStringLiteral("snapshot.png"));
        driver->onDialog("QFileDialog", [path](QDialog* dialog) {
            // Typed into the name field, as the operator does.
            auto* name_field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (name_field == nullptr) {
                dialog->reject();
                return;
            }
            name_field->setText(path);
            dialog->accept();
        });
        driver->chooseMenuItem(QStringLiteral("Save snapshot..."));
        const QPoint at = shown->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, shown->mapToGlobal(at));
        QApplication::sendEvent(shown, &event);
        QCOMPARE(driver->menus, (QList<QStringList>{{QStringLiteral("Save snapshot...")}}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 3000);
        QImage saved;
        QTRY_VERIFY_WITH_TIMEOUT(saved.load(path), 2000);  // once it is whole
        saved = saved.convertToFormat(QImage::Format_RGB32);
        QVERIFY2(StripTime(saved).has_value(), "the saved picture has no readable time strip");
        // The snapshot is the stream's own picture, not the tile's.
        QCOMPARE(saved.size(), QSize(640, 360));
    }

    void moreThanSixteenAreRefusedNamingTheLimit()
    {
        for (int i = 0; i < 11; ++i)
            window->AddCameraRow(qPrintable(QStringLiteral("10.77.1.%1").arg(11 + i)), "?", "?", 0, 0, "?", "1");
        window->OnCommand(COrvaneDlg::kLiveWallAll);
        QTRY_COMPARE_WITH_TIMEOUT(driver->boxTexts(),
                                  QStringList{"The live wall shows at most 16 cameras; 17 are chosen."}, 2000);
        QVERIFY(window->findChild<CLiveWallDlg*>() == nullptr);
    }
};

QTEST_MAIN(LiveWallTest)
#include "LiveWallTest.moc"
