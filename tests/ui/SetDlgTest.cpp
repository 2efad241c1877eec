// The settings window against a camera on loopback: each button's field
// check, what reaches the camera when the check passes, and the Set command
// of the main window that opens the window on a row.

#include "tests/support/FakeCamera.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/COrvaneDlg.h"
#include "ui/CSetDlg.h"
#include "ui/IpAddressCtrl.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

using orvane::test::CameraConnection;
using orvane::test::FakeCamera;

namespace {

constexpr auto kNoConnection = std::chrono::milliseconds(150);

std::vector<std::string> FrameTexts(const CameraConnection& connection)
{
    std::vector<std::string> texts;
    for (const std::string& frame : connection.frames)
        texts.emplace_back(frame.c_str());
    return texts;
}

// A window opened for the loopback camera with a sound row's values.
std::unique_ptr<CSetDlg> OpenWindow()
{
    auto window = std::make_unique<CSetDlg>();
    window->ipText = "127.0.0.1";
    window->cameraAddress = "127.0.0.1";
    window->macText = "001a2b3c4d5e";
    window->x = 120;
    window->y = 45;
    window->uidText = "ORVTEST0000000000001";
    window->keyId = 7;
    window->show();
    return window;
}

}  // namespace

class SetDlgTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    std::unique_ptr<ModalDriver> driver;

private slots:
    void init() { driver = std::make_unique<ModalDriver>(); }
    void cleanup() { driver.reset(); }

    void openingShowsTheRowAndReplacesCaptions()
    {
        auto window = OpenWindow();
        QCOMPARE(window->addressControl()->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(window->macEdit()->text(), QStringLiteral("001a2b3c4d5e"));
        QCOMPARE(window->xEdit()->text(), QStringLiteral("120"));
        QCOMPARE(window->yEdit()->text(), QStringLiteral("45"));
        QCOMPARE(window->uidEdit()->text(), QStringLiteral("ORVTEST0000000000001"));
        QCOMPARE(window->keyIdEdit()->text(), QStringLiteral("7"));
        QCOMPARE(window->findChild<QLabel*>("noteLabel")->text(),
                 QStringLiteral("Note\uff1aThe IPC will  automatically restart  after setting "));
        for (const char* name : {"ipSetButton", "macSetButton", "xySetButton", "uidSetButton", "keyIdSetButton"})
            QCOMPARE(window->findChild<QPushButton*>(name)->text(), QStringLiteral("Set"));
        QCOMPARE(window->findChild<QPushButton*>("okButton")->text(), QStringLiteral("OK"));
        QCOMPARE(window->findChild<QPushButton*>("cancelButton")->text(), QStringLiteral("Cancel"));
        auto* setAll = window->findChild<QPushButton*>("setAllButton");
        QVERIFY(setAll->isHidden());
        QVERIFY(!setAll->isEnabled());
    }

    void xyButtonChecksXFirstThenY_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<QString>("message");
        QTest::newRow("499 and 99 sent") << "499" << "99" << "IPC will restart";
        QTest::newRow("1 and 1 sent") << "1" << "1" << "IPC will restart";
        QTest::newRow("X 500") << "500" << "50" << "the value of X  is error";
        QTest::newRow("X 0") << "0" << "50" << "the value of X  is error";
        QTest::newRow("Y 100") << "50" << "100" << "the value of Y is error";
        QTest::newRow("Y 0") << "50" << "0" << "the value of Y is error";
        QTest::newRow("both out: X only") << "500" << "100" << "the value of X  is error";
        QTest::newRow("X not a number") << "12ab" << "50" << "Please enter an integer.";
        QTest::newRow("Y blank") << "50" << "" << "Please enter an integer.";
        QTest::newRow("X beyond int") << "99999999999" << "50" << "Please enter an integer.";
    }
    void xyButtonChecksXFirstThenY()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(QString, message);
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        window->xEdit()->setText(x);
        window->yEdit()->setText(y);
        QTest::mouseClick(window->findChild<QPushButton*>("xySetButton"), Qt::LeftButton);
        QCOMPARE(driver->boxTexts(), QStringList{message});
        if (message != QLatin1String("IPC will restart")) {
            QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(0));
            QCOMPARE(window->xEdit()->text(), x);  // the operator's text stays
            return;
        }
        const auto connections = camera.waitForConnections(1);
        const std::string frame = "#3&3&" + x.toStdString() + "&" + y.toStdString() + "#";
        QCOMPARE(FrameTexts(connections[0]), (std::vector<std::string>{frame, "#3&0&127.0.0.1#"}));
    }

    void macButtonTakesTwelveHexDigits_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<bool>("sent");
        QTest::newRow("11") << "001a2b3c4d5" << false;
        QTest::newRow("13") << "001a2b3c4d5e6" << false;
        QTest::newRow("with G") << "001a2b3c4d5G" << false;
        QTest::newRow("with colons") << "00:1a:2b:3c:4d:5e" << false;
        QTest::newRow("hand-added ?") << "?" << false;
        QTest::newRow("lower case") << "001a2b3c4d5e" << true;
        QTest::newRow("upper case") << "001A2B3C4D5E" << true;
    }
    void macButtonTakesTwelveHexDigits()
    {
        QFETCH(QString, mac);
        QFETCH(bool, sent);
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        window->macEdit()->setText(mac);
        QTest::mouseClick(window->findChild<QPushButton*>("macSetButton"), Qt::LeftButton);
        if (!sent) {
            QCOMPARE(driver->boxTexts(), QStringList{"The MAC IS ERROR"});
            QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(0));
            return;
        }
        QCOMPARE(driver->boxTexts(), QStringList{"IPC will restart"});
        const std::string m = mac.toStdString();
        const std::string colons = m.substr(0, 2) + ":" + m.substr(2, 2) + ":" + m.substr(4, 2) + ":" +
                                   m.substr(6, 2) + ":" + m.substr(8, 2) + ":" + m.substr(10, 2);
        QCOMPARE(FrameTexts(camera.waitForConnections(1)[0]),
                 (std::vector<std::string>{"#3&2&" + colons + "#", "#3&0&" + m + "#"}));
    }

    void uidButtonTakesTwentyBytesUpToOneFrame_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("sent");
        QTest::newRow("19") << 19 << false;
        QTest::newRow("20") << 20 << true;
        QTest::newRow("fills the frame") << 4089 << true;
        QTest::newRow("beyond the frame") << 4090 << false;
    }
    void uidButtonTakesTwentyBytesUpToOneFrame()
    {
        QFETCH(int, length);
        QFETCH(bool, sent);
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        const std::string uid(static_cast<size_t>(length), 'U');
        window->uidEdit()->setMaxLength(32767);
        window->uidEdit()->setText(QString::fromStdString(uid));
        QTest::mouseClick(window->findChild<QPushButton*>("uidSetButton"), Qt::LeftButton);
        if (!sent) {
            QCOMPARE(driver->boxTexts(), QStringList{"The UID IS ERROR"});
            QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(0));
            return;
        }
        QCOMPARE(driver->boxTexts(), QStringList{"IPC will restart"});
        QCOMPARE(FrameTexts(camera.waitForConnections(1)[0]),
                 (std::vector<std::string>{"#3&4&" + uid + "#", "#3&0&127.0.0.1#"}));
    }

    void keyIdButtonReadsTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("keyId");
        QTest::newRow("12ab") << "12ab" << 12;
        QTest::newRow("no number") << "abc" << 0;
    }
    void keyIdButtonReadsTheLeadingNumber()
    {
        QFETCH(QString, typed);
        QFETCH(int, keyId);
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        window->keyIdEdit()->setText(typed);
        QTest::mouseClick(window->findChild<QPushButton*>("keyIdSetButton"), Qt::LeftButton);
        QCOMPARE(driver->boxTexts(), QStringList{"IPC will restart"});
        QCOMPARE(FrameTexts(camera.waitForConnections(1)[0]),
                 std::vector<std::string>{"#3&5&" + std::to_string(keyId) + "#"});
        QCOMPARE(window->keyId, keyId);
    }

    void addressButtonSendsBlankFieldsAsZero_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("whole") << "10.77.0.99" << "10.77.0.99";
        QTest::newRow("first field only") << "192" << "192.0.0.0";
        QTest::newRow("all blank") << "" << "0.0.0.0";
    }
    void addressButtonSendsBlankFieldsAsZero()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        IpAddressCtrl* control = window->addressControl();
        control->clear();
        const QStringList fields = typed.split('.', Qt::SkipEmptyParts);
        const QList<QLineEdit*> edits = control->findChildren<QLineEdit*>();
        for (int i = 0; i < fields.size(); ++i)
            edits[i]->setText(fields[i]);
        QTest::mouseClick(window->findChild<QPushButton*>("ipSetButton"), Qt::LeftButton);
        QCOMPARE(driver->boxTexts(), QStringList{"IPC will restart"});
        QCOMPARE(FrameTexts(camera.waitForConnections(1)[0]),
                 (std::vector<std::string>{"#3&1&" + sent.toStdString() + "#", "#3&0&(null)#"}));
        QCOMPARE(QString::fromStdString(window->ipText), sent);
    }

    void laterButtonsStillReachTheAddressTheWindowOpenedFor()
    {
        FakeCamera camera(FakeCamera::Mode::Commands);  // listens on 127.0.0.1 only
        auto window = OpenWindow();
        window->addressControl()->setText(QStringLiteral("127.0.0.2"));
        QTest::mouseClick(window->findChild<QPushButton*>("ipSetButton"), Qt::LeftButton);
        QTest::mouseClick(window->findChild<QPushButton*>("xySetButton"), Qt::LeftButton);
        const auto connections = camera.waitForConnections(2);
        QCOMPARE(FrameTexts(connections[0])[0], std::string("#3&1&127.0.0.2#"));
        QCOMPARE(FrameTexts(connections[1]), (std::vector<std::string>{"#3&3&120&45#", "#3&0&127.0.0.1#"}));
        QCOMPARE(window->cameraAddress, std::string("127.0.0.1"));
    }

    void setAllStillWorksWhenItsCommandArrives()
    {
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        window->addressControl()->setText(QStringLiteral("10.77.0.50"));
        window->OnSetAll();
        QCOMPARE(FrameTexts(camera.waitForConnections(1)[0]),
                 (std::vector<std::string>{"#3&1&10.77.0.50#", "#3&2&00:1a:2b:3c:4d:5e#", "#3&0&001a2b3c4d5e#"}));
        window->macEdit()->setText(QStringLiteral("00:1a"));
        window->OnSetAll();
        QCOMPARE(driver->boxTexts(), (QStringList{"IPC will restart", "The MAC IS ERROR"}));
        QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(1));
    }

    void okAndCancelSendNothing()
    {
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        window->xEdit()->setText(QStringLiteral("x"));
        QTest::mouseClick(window->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(driver->boxTexts(), QStringList{"Please enter an integer."});
        QVERIFY2(window->isVisible(), "OK with an X that is no number keeps the window open");
        window->xEdit()->setText(QStringLiteral("300"));
        QTest::mouseClick(window->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(window->x, 300);

        auto second = OpenWindow();
        QTest::mouseClick(second->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QCOMPARE(second->result(), int(QDialog::Rejected));
        QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(0));
    }

    void enterPressesTheFocusedButtonElseOk()
    {
        FakeCamera camera(FakeCamera::Mode::Commands);
        auto window = OpenWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* setXy = window->findChild<QPushButton*>("xySetButton");
        setXy->setFocus();
        QTest::keyClick(setXy, Qt::Key_Return);
        QCOMPARE(driver->boxTexts(), QStringList{"IPC will restart"});
        QVERIFY(window->isVisible());
        QCOMPARE(FrameTexts(camera.waitForConnections(1)[0]),
                 (std::vector<std::string>{"#3&3&120&45#", "#3&0&127.0.0.1#"}));

        // Focus in a field: Enter is OK, which sends nothing.
        window->yEdit()->setFocus();
        QTest::keyClick(window->yEdit(), Qt::Key_Return);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(1));
    }

    void setCommandOpensTheWindowOnTheClickedRow()
    {
        FakeCamera camera(FakeCamera::Mode::Commands);
        COrvaneDlg main;
        main.show();
        main.AddCameraRow("10.0.0.1", "001122334455", "V1", 10, 20, "UIDUIDUIDUIDUIDUIDUID", "5");
        main.AddCameraRow("127.0.0.1", "?", "?", 0, 0, "?", "1");  // as Add makes it
        QTreeWidget* view = main.listView();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualItemRect(view->topLevelItem(1)).center());
        QCOMPARE(main.currentRow(), 1);

        QStringList opened;
        driver->onDialog("CSetDlg", [&opened](QDialog* dialog) {
            auto* set = static_cast<CSetDlg*>(dialog);
            opened << QString::fromStdString(set->cameraAddress) << set->addressControl()->text()
                   << set->macEdit()->text() << set->xEdit()->text() << set->yEdit()->text()
                   << set->uidEdit()->text() << set->keyIdEdit()->text();
            for (const char* button : {"macSetButton", "uidSetButton", "xySetButton"})
                QTest::mouseClick(set->findChild<QPushButton*>(button), Qt::LeftButton);
            set->reject();
        });
        main.OnCommand(COrvaneDlg::kSet);
        QCOMPARE(opened, (QStringList{"127.0.0.1", "127.0.0.1", "?", "0", "0", "?", "1"}));
        QCOMPARE(driver->boxTexts(),
                 (QStringList{"The MAC IS ERROR", "The UID IS ERROR", "the value of X  is error"}));
        QCOMPARE(camera.acceptedAfter(kNoConnection), size_t(0));
        QCOMPARE(view->topLevelItem(1)->text(2), QStringLiteral("?"));  // nothing written back
    }
};

QTEST_MAIN(SetDlgTest)
#include "SetDlgTest.moc"
