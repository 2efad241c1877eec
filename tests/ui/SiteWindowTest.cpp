// The main window on test LANs shaped like installers' sites: "Search
// networks..." asks cameras behind a router, and Set on the row of a camera
// still on its factory subnet reaches it through the link it answered on,
// although the default route leads out of the Wi-Fi. Each case runs inside
// scripts/test-lan with the topology tests/ui/CMakeLists.txt gives it.

#include "net/TemporaryAddress.h"
#include "tests/ui/ListCells.h"
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
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

QString LogOf(const char* variable)
{
    QFile log(qEnvironmentVariable(variable));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
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
