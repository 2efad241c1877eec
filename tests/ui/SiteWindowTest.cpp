// The main window on test LANs shaped like installers' sites: "Search
// networks..." asks cameras behind a router, and Set on the row of a camera
// still on its factory subnet reaches it through the link it answered on,
// although the default route leads out of the Wi-Fi. Each case runs inside
// scripts/test-lan with the topology tests/ui/CMakeLists.txt gives it.

#include "net/TemporaryAddress.h"
#include "tests/ui/ListCells.h"
#include "ui/CBatchDlg.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/COrvaneDlg.h"
#include "ui/CSetDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

QString LogOf(const char* variable)
{
    QFile log(qEnvironmentVariable(variable));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    QFile file(dir.filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return file.fileName();
}

bool NoAddressLeftOn(const QString& link)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), {"-4", "addr", "show", "dev", link});
    return ip.waitForFinished() && !ip.readAllStandardOutput().contains("192.168.1.");
}

}  // namespace

class SiteWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        window = std::make_unique<COrvaneDlg>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        driver = std::make_unique<ModalDriver>();
    }
    void cleanup()
    {
        driver.reset();
        window.reset();
    }

    void searchNetworksListsRoutedCameras()
    {
        if (qEnvironmentVariable("ORVANE_ROUTER_IF").isEmpty())
            QSKIP("needs the routed test LAN");
        // A target that does not read is refused before anything is sent.
        window->setNetworksAsker([](QWidget*) { return QStringLiteral("10.80.0.0/24, 10.80.0"); });
        window->OnCommand(COrvaneDlg::kSearchNetworks);
        QCOMPARE(driver->boxes.size(), 1);
        QVERIFY2(driver->boxes[0].text.contains(QStringLiteral("'10.80.0'")), qPrintable(driver->boxes[0].text));
        QVERIFY(!LogOf("ORVANE_SIM_LOG2").contains(QStringLiteral("search-request")));

        window->setNetworksAsker([](QWidget*) { return QStringLiteral("10.80.0.0/24"); });
        driver->chooseMenuItem(QStringLiteral("Search &networks..."));
        const QPoint at(5, window->height() - 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, window->mapToGlobal(at));
        QApplication::sendEvent(window.get(), &event);
        QCOMPARE(Column(window->listView(), 1), (QStringList{"10.77.0.11", "10.80.0.11", "10.80.0.12", "10.80.0.13"}));
        // The Search button's search is the plain one again: a broadcast does not cross the router.
        window->OnSearch();
        QCOMPARE(Column(window->listView(), 1), QStringList{"10.77.0.11"});
    }

    void setOnAFactoryCamerasRowReachesIt()
    {
        if (qEnvironmentVariable("ORVANE_FACTORY_ADDRS").isEmpty())
            QSKIP("needs the factory test LAN");
        window->OnSearch();
        const QStringList listed = Column(window->listView(), 1);
        const int row = static_cast<int>(listed.indexOf(QStringLiteral("192.168.1.64")));
        QVERIFY2(row >= 0, qPrintable(listed.join(' ')));
        driver->onDialog("CSetDlg", [](QDialog* dialog) {
            auto* set = static_cast<CSetDlg*>(dialog);
            set->uidEdit()->setText(QStringLiteral("ORVSITE0000000000064"));
            QTest::mouseClick(set->findChild<QPushButton*>("uidSetButton"), Qt::LeftButton);
            set->reject();
        });
        RightClickRowAndChoose(*driver, window->listView(), row, QStringLiteral("Set"));
        QCOMPARE(driver->boxTexts(), QStringList{QStringLiteral("IPC will restart")});
        // The box comes once the frame is sent; the camera logs it once it has read all of it.
        QTRY_VERIFY_WITH_TIMEOUT(LogOf("ORVANE_SIM_LOG").contains(QStringLiteral("camera=192.168.1.64 conn=1 text=#3&4&ORVSITE0000000000064#")), 5000);
    }

    // Run as root: the window connects from a temporary address in the
    // camera's /24, and leaves none behind.
    void setOnACameraBehindAnAbsentGatewayReachesIt()
    {
        if (qEnvironmentVariable("ORVANE_FACTORY_GW_ADDR").isEmpty())
            QSKIP("needs the factory test LAN with its gateway-less camera");
        setOnTheGatewayLessCamerasRow();
    }

    // Run as an operator's own account, with the helper pkexec would run:
    // the same, through the helper.
    void setWithoutThePrivilegeGoesThroughTheHelper()
    {
        if (qEnvironmentVariable("ORVANE_LINK_ADDRESS_HELPER").isEmpty())
            QSKIP("needs the helper (tests/ui/as-operator-with-helper.sh)");
        QVERIFY(!orvane::HasNetAdmin());
        setOnTheGatewayLessCamerasRow();
    }

    // As Set does: Update selected and Apply plan reach the camera behind its
    // absent gateway through the helper.
    void batchesWithoutThePrivilegeGoThroughTheHelper()
    {
        if (qEnvironmentVariable("ORVANE_LINK_ADDRESS_HELPER").isEmpty())
            QSKIP("needs the helper (tests/ui/as-operator-with-helper.sh)");
        QVERIFY(!orvane::HasNetAdmin());
        window->OnSearch();
        QTemporaryDir dir;
        const QString firmware = WriteFile(dir, "fw.br", QByteArray(20000, 'f'));
        {
            CBatchDlg update(CBatchDlg::Work::Upgrade, {"192.168.1.100"}, firmware);
            update.setWait(std::chrono::seconds(2));
            QTRY_VERIFY_WITH_TIMEOUT(!update.running(), 30000);
        }
        const QRegularExpression uploaded(QStringLiteral("upload camera=192\\.168\\.1\\.100 conn=[0-9]+ kind=4 size=20000 "));
        QVERIFY2(LogOf("ORVANE_SIM_LOG_GW").contains(uploaded), qPrintable(LogOf("ORVANE_SIM_LOG_GW")));
        const QString plan = WriteFile(dir, "plan.csv", "mac,uid\n020000000100,ORVPLAN0000000000100\n");
        {
            CBatchDlg apply(CBatchDlg::Work::ApplyPlan, {}, plan);
            apply.setWait(std::chrono::seconds(2));
            QTRY_VERIFY_WITH_TIMEOUT(apply.applyButton()->isEnabled(), 10000);
            apply.applyButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(!apply.running(), 30000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(LogOf("ORVANE_SIM_LOG_GW").contains(QStringLiteral("text=#3&4&ORVPLAN0000000000100#")), 5000);
        QVERIFY2(NoAddressLeftOn(qEnvironmentVariable("ORVANE_CAMERA_IF")), "a temporary address was left");
    }

    // Without the helper the upload cannot connect: its own box, then the
    // line on what to do, as after a Set.
    void failedUploadShowsTheAdvice()
    {
        const QByteArray helper = qgetenv("ORVANE_LINK_ADDRESS_HELPER");
        if (helper.isEmpty())
            QSKIP("runs as an operator's own account (tests/ui/as-operator-with-helper.sh)");
        qunsetenv("ORVANE_LINK_ADDRESS_HELPER");
        orvane::ProtocolTiming quick = QuickWindowTestTiming();
        quick.connectBound_ms = 1500;
        const orvane::ScopedProtocolTiming timing(quick);
        window->OnSearch();
        const int row = static_cast<int>(Column(window->listView(), 1).indexOf(QStringLiteral("192.168.1.100")));
        QVERIFY(row >= 0);
        QTemporaryDir dir;
        const QString firmware = WriteFile(dir, "fw.br", QByteArray(20000, 'f'));
        window->setFileChooser([&](QWidget*, const QString&) { return firmware; });
        RightClickRowAndChoose(*driver, window->listView(), row, QStringLiteral("Update"));
        qputenv("ORVANE_LINK_ADDRESS_HELPER", helper);
        const QStringList boxes = driver->boxTexts();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0], QStringLiteral("Link IPC error"));  // a kind 4 upload
        QVERIFY2(boxes[1].startsWith(QStringLiteral("camera 192.168.1.100 was heard on ")) &&
                     boxes[1].contains(QStringLiteral("run as root (sudo)")),
                 qPrintable(boxes[1]));
    }

private:
    void setOnTheGatewayLessCamerasRow()
    {
        window->OnSearch();
        const int row = static_cast<int>(Column(window->listView(), 1).indexOf(QStringLiteral("192.168.1.100")));
        QVERIFY(row >= 0);
        driver->onDialog("CSetDlg", [](QDialog* dialog) {
            auto* set = static_cast<CSetDlg*>(dialog);
            set->uidEdit()->setText(QStringLiteral("ORVSITE0000000000100"));
            QTest::mouseClick(set->findChild<QPushButton*>("uidSetButton"), Qt::LeftButton);
            set->reject();
        });
        RightClickRowAndChoose(*driver, window->listView(), row, QStringLiteral("Set"));
        QCOMPARE(driver->boxTexts(), QStringList{QStringLiteral("IPC will restart")});
        QTRY_VERIFY_WITH_TIMEOUT(LogOf("ORVANE_SIM_LOG_GW").contains(QStringLiteral("text=#3&4&ORVSITE0000000000100#")), 5000);
        QProcess ip;
        ip.start(QStringLiteral("ip"), {"-4", "addr", "show", "dev", qEnvironmentVariable("ORVANE_CAMERA_IF")});
        QVERIFY(ip.waitForFinished());
        QVERIFY2(!ip.readAllStandardOutput().contains("192.168.1."), "a temporary address was left");
    }

    UiTestSetup setup;
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;
};

QTEST_MAIN(SiteWindowTest)
#include "SiteWindowTest.moc"
