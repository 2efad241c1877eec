// The main window as the video control's host, on a loopback-only network
// with the real plug-in registered in a registry of the test's own: the
// control's place and visibility, the stream each Link command asks for,
// and the CloseStream calls of Exit and of a close request. The plug-in
// writes its calls to VIDRA_LOG.

#include "registry/ClassRegistry.h"
#include "preview/PluginRegistration.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/PluginTestSupport.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/COrvaneDlg.h"
#include "vidra/VidraApi.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Points the process's stderr at a file for its life.
class StderrToFile {
public:
    explicit StderrToFile(const QString& path) : saved_(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        const int fd = ::open(path.toUtf8().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    StderrToFile(const StderrToFile&) = delete;
    StderrToFile& operator=(const StderrToFile&) = delete;

private:
    int saved_;
};

QStringList Calls(const QString& log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("OpenStream ")) {
            const QList<QByteArray> words = line.split(' ');
            calls << QString::fromUtf8(words[0] + ' ' + words[1] + ' ' + words[2]);
        } else if (line == "CloseStream") {
            calls << QStringLiteral("CloseStream");
        }
    }
    return calls;
}

}  // namespace

class PreviewHostTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    std::unique_ptr<QTemporaryDir> data;
    QString log;
    std::unique_ptr<COrvaneDlg> window;

    QString dataPath(const char* name) const { return data->filePath(QString::fromLatin1(name)); }
    static std::string ServerKey(const char* classId) { return std::string("CLSID\\") + classId + "\\InprocServer32"; }
    static QString RegisteredServer(const char* classId)
    {
        char path[4096] = {};
        orvane::ClassRegistry().queryValue(ServerKey(classId), "", path, sizeof path);
        return QString::fromUtf8(path);
    }

    // Opens the window with stderr in a file; the lines of it that name library.
    QByteArrayList openWindowSayingOnStderr(const QByteArray& library)
    {
        const QString said = dataPath("stderr.txt");
        {
            StderrToFile capture(said);
            openWindow();
        }
        QFile file(said);
        QByteArrayList naming;
        if (!file.open(QIODevice::ReadOnly))
            return naming;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.contains(library))
                naming << line;
        }
        return naming;
    }
    void openWindow()
    {
        QFile::remove(log);
        window = std::make_unique<COrvaneDlg>();
        window->show();
    }
    void link(int row, int command) { ClickRowAndCommand(*window, row, command); }

private slots:
    // Every case: a registry of its own with the plug-in registered, and a
    // log of its own.
    void init()
    {
        data = std::make_unique<QTemporaryDir>();
        QVERIFY(data->isValid());
        setenv("XDG_DATA_HOME", data->path().toUtf8().constData(), 1);
        log = dataPath("vidra.log");
        setenv("VIDRA_LOG", log.toUtf8().constData(), 1);
        QVERIFY(RegisterBuiltPlugin());
        QVERIFY(orvane::IsPluginRegistered());
    }
    void cleanup()
    {
        window.reset();
        data.reset();
    }

    void withoutThePluginTheWindowStillWorks()
    {
        setenv("XDG_DATA_HOME", dataPath("empty").toUtf8().constData(), 1);
        QVERIFY(!orvane::IsPluginRegistered());
        openWindow();
        QCOMPARE(window->preview().window(), nullptr);
        window->AddCameraRow("127.0.0.1", "001122334455", "V2.4.3", 1, 1, "U", "1");
        link(0, COrvaneDlg::kLink1080P);
        QTest::mouseClick(window->findChild<QPushButton*>("exitButton"), Qt::LeftButton);
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(Calls(log), QStringList{});
    }

    void controlSitsHiddenAtItsPlaceUntilTheFirstLink()
    {
        openWindow();
        QWidget* control = window->preview().window();
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget(), window.get());
        QCOMPARE(control->geometry(), window->findChild<QWidget*>("previewPlace")->geometry());
        QVERIFY(control->isHidden());
        window->AddCameraRow("127.0.0.1", "001122334455", "V3.1.0", 1, 1, "U", "1");
        link(0, COrvaneDlg::kLink720P);
        QVERIFY(control->isVisible());
        link(0, COrvaneDlg::kLink1080P);
        QVERIFY(control->isVisible());
    }

    void linkAsksForTheStreamOfTheRowsVersion()
    {
        openWindow();
        const char* versions[] = {"V2.4.3", "12.4.0", "2.40", "3.2.1", ""};
        for (int i = 0; i < 5; ++i) {
            const std::string ip = "127.0.0." + std::to_string(i + 1);
            window->AddCameraRow(ip.c_str(), "001122334455", versions[i], 1, 1, "U", "1");
        }
        window->AddCameraRow("127.0.0.9", "?", "?", 0, 0, "?", "1");  // as Add makes it
        for (int row = 0; row < 6; ++row) {
            link(row, COrvaneDlg::kLink1080P);
            link(row, COrvaneDlg::kLink720P);
        }
        // Two Links in a row open twice; nothing closes in between.
        QCOMPARE(Calls(log), (QStringList{
                                 "OpenStream address=127.0.0.1 stream=0", "OpenStream address=127.0.0.1 stream=1",
                                 "OpenStream address=127.0.0.2 stream=0", "OpenStream address=127.0.0.2 stream=1",
                                 "OpenStream address=127.0.0.3 stream=4", "OpenStream address=127.0.0.3 stream=5",
                                 "OpenStream address=127.0.0.4 stream=4", "OpenStream address=127.0.0.4 stream=5",
                                 "OpenStream address=127.0.0.5 stream=4", "OpenStream address=127.0.0.5 stream=5",
                                 "OpenStream address=127.0.0.9 stream=4", "OpenStream address=127.0.0.9 stream=5",
                             }));
    }

    void exitWithoutAPreviewClosesTheStreamOnce()
    {
        openWindow();
        QTest::mouseClick(window->findChild<QPushButton*>("exitButton"), Qt::LeftButton);
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(Calls(log), QStringList{"CloseStream"});
    }

    void closeRequestClosesTheStreamAndTheWindowStays()
    {
        openWindow();
        window->AddCameraRow("127.0.0.1", "001122334455", "V3.1.0", 1, 1, "U", "1");
        link(0, COrvaneDlg::kLink1080P);
        QVERIFY(!window->close());
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        link(0, COrvaneDlg::kLink720P);
        QCOMPARE(Calls(log), (QStringList{"OpenStream address=127.0.0.1 stream=4", "CloseStream", "CloseStream",
                                          "OpenStream address=127.0.0.1 stream=5"}));
        // Escape is not a close request: it neither ends the window nor closes the stream.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->isVisible());
        QCOMPARE(Calls(log).size(), 4);
    }

    void regActivexRewritesAStaleRegistration()
    {
        // As after the plug-in moved: both classes name a file that is gone,
        // and the ProgID is missing.
        const QString stale = dataPath("moved/libvidra.so");
        for (const char* classId : {VIDRA_SERVER_CLSID, VIDRA_CONTROL_CLSID})
            QCOMPARE(orvane::ClassRegistry().setValue(ServerKey(classId), "", stale.toStdString()),
                     orvane::RegistryStatus::Ok);
        QCOMPARE(orvane::ClassRegistry().deleteTree(VIDRA_PROGID), orvane::RegistryStatus::Ok);
        QVERIFY(!orvane::IsPluginServerPresent());

        openWindow();
        window->OnCommand(COrvaneDlg::kRegActivex);

        const QString built = QFileInfo(QStringLiteral(VIDRA_LIBRARY_PATH)).canonicalFilePath();
        for (const char* classId : {VIDRA_SERVER_CLSID, VIDRA_CONTROL_CLSID})
            QCOMPARE(QFileInfo(RegisteredServer(classId)).canonicalFilePath(), built);
        QVERIFY(orvane::IsPluginRegistered());
        QVERIFY(orvane::IsPluginServerPresent());
    }

    void aRegistrationNamingAGoneLibraryIsOneLineOnStderr()
    {
        const QString gone = dataPath("gone/libvidra.so");
        QCOMPARE(orvane::ClassRegistry().setValue(ServerKey(CTarnFFMpeg::kClassId), "", gone.toStdString()),
                 orvane::RegistryStatus::Ok);

        const QByteArrayList naming = openWindowSayingOnStderr(gone.toUtf8());
        QCOMPARE(window->preview().window(), nullptr);
        QCOMPARE(naming.size(), 1);
        QVERIFY2(naming[0].contains("cannot create the video control"), naming[0].constData());
    }

    void aPluginOfAnotherInterfaceVersionIsRefusedWithOneLine()
    {
        const std::string other = OTHER_VERSION_PLUGIN_PATH;
        QCOMPARE(orvane::ClassRegistry().setValue(ServerKey(CTarnFFMpeg::kClassId), "", other),
                 orvane::RegistryStatus::Ok);

        const QByteArrayList naming = openWindowSayingOnStderr(QByteArray::fromStdString(other));
        QCOMPARE(window->preview().window(), nullptr);
        QCOMPARE(naming.size(), 1);
        QVERIFY2(naming[0].contains("built for another interface version"), naming[0].constData());
        QVERIFY2(naming[0].contains("needs video plug-in interface version " + QByteArray::number(VIDRA_INTERFACE_VERSION)),
                 naming[0].constData());
    }
};

QTEST_MAIN(PreviewHostTest)
#include "PreviewHostTest.moc"
