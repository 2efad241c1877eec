// Start-up as the process runs it, on a loopback-only network with a class
// registry of the test's own: the plug-in check before everything else, the
// server switches and what they write, embedded and automation starts, and
// an ordinary start that runs the main window until Exit.

#include "app/orvane/COrvaneApp.h"
#include "app/orvane/COrvaneModule.h"
#include "app/orvane/CommandLineInfo.h"
#include "registry/ClassRegistry.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/PluginTestSupport.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/COrvaneDlg.h"
#include "vidra/VidraApi.h"

#include <QDirIterator>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>


#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Every key and value file below the registry's root, relative to it.
QStringList RegistryEntries(const QString& dataHome)
{
    const QString root = dataHome + QStringLiteral("/orvane-registry/HKEY_CLASSES_ROOT");
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next().mid(root.size() + 1);
    entries.sort();
    return entries;
}

QStringList Without(QStringList entries, const QStringList& before)
{
    for (const QString& e : before)
        entries.removeAll(e);
    return entries;
}

struct Args {
    std::vector<std::string> words;
    std::vector<char*> argv;
    explicit Args(std::initializer_list<const char*> list)
    {
        for (const char* w : list)
            words.emplace_back(w);
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<ModalDriver> driver;
    int mainWindowsOpened = 0;

    // Runs start-up as main does; returns the exit code.
    int start(std::initializer_list<const char*> words, bool* initResult = nullptr)
    {
        Args args(words);
        COrvaneApp app;
        const bool result = app.InitInstance(args.argc(), args.argv.data());
        if (initResult != nullptr)
            *initResult = result;
        return app.ExitInstance();
    }
    void registerPlugin() { QVERIFY(RegisterBuiltPlugin()); }

private slots:
    void init()
    {
        data = std::make_unique<QTemporaryDir>();
        setenv("XDG_DATA_HOME", data->path().toUtf8().constData(), 1);
        driver = std::make_unique<ModalDriver>();
        mainWindowsOpened = 0;
        driver->onDialog("COrvaneDlg", [this](QDialog* window) {
            ++mainWindowsOpened;
            QTest::mouseClick(window->findChild<QPushButton*>("exitButton"), Qt::LeftButton);
        });
    }
    void cleanup() { driver.reset(); }

    void switchesReadLikeTheFrameworksParser_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("shellCommand");
        QTest::addColumn<bool>("embedded");
        QTest::addColumn<bool>("automated");
        QTest::newRow("none") << QStringList{} << 0 << false << false;
        QTest::newRow("/RegServer") << QStringList{"/RegServer"} << 5 << false << false;
        QTest::newRow("-register") << QStringList{"-register"} << 5 << false << false;
        QTest::newRow("/UNREGSERVER") << QStringList{"/UNREGSERVER"} << 6 << false << false;
        QTest::newRow("-Unregister") << QStringList{"-Unregister"} << 6 << false << false;
        QTest::newRow("/Embedding") << QStringList{"/Embedding"} << 0 << true << false;
        QTest::newRow("-automation") << QStringList{"-automation"} << 0 << false << true;
        QTest::newRow("file name") << QStringList{"notes.txt"} << 1 << false << false;
        QTest::newRow("unknown switch") << QStringList{"/nologo"} << 0 << false << false;
        QTest::newRow("register then file") << QStringList{"/regserver", "x.txt"} << 5 << false << false;
    }
    void switchesReadLikeTheFrameworksParser()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, shellCommand);
        QFETCH(bool, embedded);
        QFETCH(bool, automated);
        std::vector<QByteArray> words{"orvane"};
        for (const QString& a : arguments)
            words.push_back(a.toUtf8());
        std::vector<char*> argv;
        for (QByteArray& w : words)
            argv.push_back(w.data());
        orvane::CCommandLineInfo info;
        orvane::ParseCommandLine(info, static_cast<int>(argv.size()), argv.data());
        QCOMPARE(int(info.m_nShellCommand), shellCommand);
        QCOMPARE(info.m_bRunEmbedded, embedded);
        QCOMPARE(info.m_bRunAutomated, automated);
    }

    void withoutThePluginEveryStartStopsAtTheMessage_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::newRow("ordinary") << QString();
        QTest::newRow("register") << QStringLiteral("/RegServer");
        QTest::newRow("unregister") << QStringLiteral("/UnregServer");
        QTest::newRow("embedded") << QStringLiteral("/Embedding");
    }
    void withoutThePluginEveryStartStopsAtTheMessage()
    {
        QFETCH(QString, argument);
        const QByteArray word = argument.toUtf8();
        bool run = true;
        const int code = word.isEmpty() ? start({"orvane"}, &run) : start({"orvane", word.constData()}, &run);
        QCOMPARE(code, 0);
        QVERIFY(!run);
        QCOMPARE(driver->boxes.size(), 1);
        QCOMPARE(driver->boxes[0].text, QString::fromLatin1(COrvaneApp::kPluginMissing));
        QCOMPARE(driver->boxes[0].caption, QStringLiteral("Error"));
        QCOMPARE(mainWindowsOpened, 0);
        QCOMPARE(RegistryEntries(data->path()), QStringList{});
    }

    void registerWritesTheTwoAppIdKeysAndUnregisterRemovesThem()
    {
        registerPlugin();
        const QStringList plugin = RegistryEntries(data->path());
        QCOMPARE(start({"orvane", "-RegServer"}), 0);
        const QString id = QString::fromLatin1(orvane::COrvaneModule::kAppId);
        QCOMPARE(Without(RegistryEntries(data->path()), plugin),
                 (QStringList{"k.AppID", "k.AppID/k.Orvane.EXE", "k.AppID/k.Orvane.EXE/v.AppID",
                              "k.AppID/k." + id, "k.AppID/k." + id + "/v."}));
        char value[64];
        const orvane::ClassRegistry registry;
        QCOMPARE(registry.queryValue("AppID\\" + id.toStdString(), "", value, sizeof value), orvane::RegistryStatus::Ok);
        QCOMPARE(QString::fromLatin1(value), QStringLiteral("Orvane"));
        QCOMPARE(registry.queryValue("AppID\\Orvane.EXE", "AppID", value, sizeof value), orvane::RegistryStatus::Ok);
        QCOMPARE(QString::fromLatin1(value), id);

        QCOMPARE(start({"orvane", "/Unregister"}), 0);
        QCOMPARE(Without(RegistryEntries(data->path()), plugin), QStringList{"k.AppID"});
        QCOMPARE(driver->boxes.size(), 0);
        QCOMPARE(mainWindowsOpened, 0);
    }

    void embeddedAndAutomationStartsEndWithoutAWindow()
    {
        registerPlugin();
        for (const char* word : {"/Embedding", "-Automation"}) {
            bool run = false;
            QCOMPARE(start({"orvane", word}, &run), 0);
            QVERIFY(run);
        }
        QCOMPARE(mainWindowsOpened, 0);
        QCOMPARE(driver->boxes.size(), 0);
    }

    void ordinaryStartRunsTheMainWindowUntilExit()
    {
        registerPlugin();
        bool run = true;
        QCOMPARE(start({"orvane", "notes.txt"}, &run), 0);
        QVERIFY(!run);
        QCOMPARE(mainWindowsOpened, 1);
        QCOMPARE(start({"orvane"}), 0);
        QCOMPARE(mainWindowsOpened, 2);
        QCOMPARE(driver->boxes.size(), 0);
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
