// The progress window over real uploads to a loopback camera: the result
// boxes, the bar, OK refused while the upload runs, the failure path, the
// firmware kind chosen from the path, and reports after the window is gone.

#include "process/JobReports.h"
#include "tests/support/FakeCamera.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/CWaitingDlg.h"
#include "ui/WindowState.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

using orvane::test::FakeCamera;
using orvane::test::UploadAnswer;

namespace {

constexpr char kCamera[] = "127.0.0.1";
const QString kSendFileError = QStringLiteral("Send file error\uff0cPlease try again");
const QString kSendFileOk = QStringLiteral("Send file OK\uff0cthe IPC is updating,Please do not power off");
const QString kSendOnvifOk =
    QStringLiteral("Send onvif ips file OK\uff0cthe IPC is updating,Please do not power off");

// A command port that takes connections into its backlog and never accepts
// them: an upload to it waits for a reply until the port is closed, which
// resets the waiting connection.
class SilentPort {
public:
    SilentPort() : fd_(orvane::test::ListenOnCommandPort(4)) {}
    ~SilentPort() { close(); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    bool bound() const { return fd_ >= 0; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Passes reports on to the windows' own sink, counting those that have
// started on their way, so that a case knows a worker's report is queued.
class CountingSink : public orvane::JobReportSink {
public:
    explicit CountingSink(orvane::JobReportSink& next) : next_(next) { previous_ = orvane::InstallJobReportSink(this); }
    ~CountingSink() override { orvane::InstallJobReportSink(previous_); }
    CountingSink(const CountingSink&) = delete;
    CountingSink& operator=(const CountingSink&) = delete;
    bool deliver(const orvane::JobReport& report) override
    {
        ++entered;
        return next_.deliver(report);
    }
    std::atomic<int> entered{0};

private:
    orvane::JobReportSink& next_;
    orvane::JobReportSink* previous_ = nullptr;
};

}  // namespace

class WaitingDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(files.isValid());
        driver = std::make_unique<ModalDriver>();
    }
    void cleanup() { driver.reset(); }

    void finalReportShowsTheBoxOfItsResult_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("0") << "0" << 1 << QStringList{kSendFileError};
        QTest::newRow("1") << "1" << 1 << QStringList{kSendFileOk};
        QTest::newRow("2 follows the code, not the kind") << "2" << 1 << QStringList{kSendOnvifOk};
        QTest::newRow("5") << "5" << 1 << QStringList{};
        QTest::newRow("-1") << "-1" << 1 << QStringList{};
        QTest::newRow("no digits") << "ok" << 1 << QStringList{kSendFileError};
        QTest::newRow("address list, any reply") << "0" << 3 << QStringList{kSendOnvifOk};
    }
    void finalReportShowsTheBoxOfItsResult()
    {
        QFETCH(QString, reply);
        QFETCH(int, mode);
        QFETCH(QStringList, boxes);
        FakeCamera camera(FakeCamera::Mode::Upload, UploadAnswer{UploadAnswer::Reply, reply.toStdString(), 0});
        CWaitingDlg* window = run(mode, write("fw.br", 100));
        QCOMPARE(driver->boxTexts(), boxes);
        for (const ShownBox& box : driver->boxes) {
            QVERIFY(box.owned);
            QCOMPARE(box.caption, QCoreApplication::applicationName());
        }
        QCOMPARE(window->progressBar()->value(), 1000);
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QVERIFY(!g_bRunning);
        QCOMPARE(g_hWaitingWnd.get(), nullptr);
        QCOMPARE(camera.waitForConnections(1).at(0).data.size(), size_t(100));
    }

    void progressMovesTheBarInPerMille()
    {
        FakeCamera camera(FakeCamera::Mode::Upload);
        auto* window = new CWaitingDlg;
        QSignalSpy moves(window->progressBar(), &QProgressBar::valueChanged);
        run(1, write("fw.br", 25000), window);
        QList<int> values;
        for (const QList<QVariant>& move : moves)
            values << move.at(0).toInt();
        QCOMPARE(values, (QList<int>{409, 819, 1000}));
        QCOMPARE(driver->boxTexts(), QStringList{kSendFileOk});
    }

    void okEscapeAndCloseBoxAreRefusedWhileTheUploadRuns()
    {
        SilentPort port;
        QVERIFY(port.bound());
        auto* window = new CWaitingDlg;
        bool stillOpen = false;
        QTimer::singleShot(400, window, [&] {
            window->findChild<QPushButton*>("okButton")->click();
            QTest::keyClick(window, Qt::Key_Escape);
            window->close();
            stillOpen = window->isVisible() && g_bRunning;
            // The camera goes away: no reply, result 0.
            port.close();
        });
        run(1, write("fw.br", 100), window);
        QVERIFY(stillOpen);
        QCOMPARE(driver->boxTexts(), (QStringList{"It is running,Please do not close", kSendFileError}));
    }

    void failedUploadClosesAfterTheUploadsOwnBox()
    {
        // Nothing listens: the connection is refused.
        run(1, write("fw.br", 100));
        QCOMPARE(driver->boxTexts(), QStringList{"Link IPC error"});
        QCOMPARE(driver->boxes[0].caption, QStringLiteral("Error"));
        QVERIFY(!driver->boxes[0].owned);
        run(3, write("ips.txt", 10));
        QCOMPARE(driver->boxTexts(), (QStringList{"Link IPC error", "Link IPC Error"}));
        QVERIFY(!g_bRunning);
    }

    void firmwareKindFollowsTheStartOfThePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        QTest::newRow("fw/cam.br") << "fw/cam.br" << "4";
        QTest::newRow("fw/zImage") << "fw/zImage" << "4";
        QTest::newRow("fw/zimage") << "fw/zimage" << "4";
        QTest::newRow("zImage/cam.br") << "zImage/cam.br" << "4";
        QTest::newRow("zImage.br, relative") << "zImage.br" << "2";
        QTest::newRow("zimage.br, relative") << "zimage.br" << "4";
    }
    void firmwareKindFollowsTheStartOfThePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        FakeCamera camera(FakeCamera::Mode::Upload);
        const QString full = write(path, 50);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(files.path());
        // A relative path is only what the window's own file dialog never gives.
        run(1, path.startsWith(QLatin1String("zImage.")) || path.startsWith(QLatin1String("zimage.")) ? path : full);
        QDir::setCurrent(previous);
        const std::string header = camera.waitForConnections(1).at(0).header;
        QCOMPARE(QString::fromLatin1(header.c_str()).section(QLatin1Char('&'), 0, 0), QStringLiteral("#") + kind);
    }

    void aWindowWithoutAJobTellsAndCloses()
    {
        for (int mode : {2, 7, -1}) {
            run(mode, QString());
            QCOMPARE(driver->boxTexts(), QStringList{"This window has no job to run"});
            QVERIFY(!g_bRunning);
            driver->boxes.clear();
        }
    }

    void reportsQueuedForAWindowThatClosesAreDropped()
    {
        CountingSink counting(setup.reports);
        auto* window = new CWaitingDlg;
        g_hWaitingWnd.publish(window);
        // Queued, and a worker waiting for its progress report to be handled.
        QVERIFY(orvane::ReportJob(orvane::JobReport::Failed(orvane::JobKind::Firmware)));
        // A stray sender's final report, in the wire form itself.
        QVERIFY(setup.reports.deliverMessage(orvane::kMsgJobProgress, -1, 0, orvane::Delivery::Post));
        auto fromWorker = std::async(std::launch::async, [] {
            return orvane::ReportJob(orvane::JobReport::Progress(orvane::JobKind::Firmware, 500));
        });
        while (counting.entered.load() < 2)
            std::this_thread::yield();
        // The worker's post happens just after it is counted; no event is
        // handled meanwhile, since this thread does not go back to the loop.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const QSignalSpy moves(window->progressBar(), &QProgressBar::valueChanged);
        delete window;
        QCOMPARE(g_hWaitingWnd.get(), nullptr);
        QVERIFY2(fromWorker.wait_for(std::chrono::seconds(2)) == std::future_status::ready,
                 "the worker still waits for a window that is gone");
        fromWorker.get();
        QCoreApplication::sendPostedEvents();
        QTest::qWait(50);
        QCOMPARE(driver->boxes.size(), 0);
        QCOMPARE(moves.size(), 0);
    }

    void reportsWithoutAWindowAreDropped()
    {
        QCOMPARE(g_hWaitingWnd.get(), nullptr);
        QVERIFY(!setup.reports.deliverMessage(orvane::kMsgJobProgress, -2, -1, orvane::Delivery::Post));
        auto fromWorker = std::async(std::launch::async, [this] {
            return setup.reports.deliverMessage(orvane::kMsgJobProgress, 500, -1, orvane::Delivery::Send);
        });
        QVERIFY(!fromWorker.get());
    }

private:
    QString write(const QString& name, int size)
    {
        const QString path = files.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(size, 'f'));
        return path;
    }

    // Opens a progress window in mode for the file as the main window does;
    // returns it after it has closed (it lives until the test ends).
    CWaitingDlg* run(int mode, const QString& path, CWaitingDlg* window = nullptr)
    {
        g_strFilePath = path.toStdString();
        g_strIpcAddress = kCamera;
        if (window == nullptr)
            window = new CWaitingDlg;
        windows.emplace_back(window);
        // The numbers the opener has always used, and ones it never uses.
        window->mode = static_cast<CWaitingDlg::Mode>(mode);
        window->exec();
        return window;
    }

    UiTestSetup setup;
    QTemporaryDir files;
    std::unique_ptr<ModalDriver> driver;
    std::vector<std::unique_ptr<CWaitingDlg>> windows;
};

QTEST_MAIN(WaitingDlgTest)
#include "WaitingDlgTest.moc"
