// The main window on the test LAN against the simulator, from a laptop whose
// default route leads to a network without cameras: a search fills the
// list in address order before the progress window closes, hand-added rows
// vanish at the next search, and uploads from the row menu reach the camera
// or fail with the upload's own message. Runs inside scripts/test-lan with
// the cameras of tests/ui/CMakeLists.txt.

#include "tests/ui/ListCells.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/CAddDlg.h"
#include "ui/COrvaneDlg.h"
#include "ui/CSetDlg.h"
#include "ui/CWaitingDlg.h"
#include "ui/IpAddressCtrl.h"
#include "ui/JobReportEvent.h"

#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

const QString kSendFileOk = QStringLiteral("Send file OK\uff0cthe IPC is updating,Please do not power off");

// Watches the reports that reach progress windows: the list's row count when
// the final one arrives, and every bar position reported.
class ReportWatch : public QObject {
public:
    explicit ReportWatch(QTreeWidget* list) : list_(list) { qApp->installEventFilter(this); }
    ~ReportWatch() override { qApp->removeEventFilter(this); }

    int rowsAtFinalReport = -1;
    QList<long> progress;

protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (event->type() == JobReportEvent::kJobProgress && qobject_cast<CWaitingDlg*>(target) != nullptr) {
            const long wParam = static_cast<JobReportEvent*>(event)->wParam();
            if (wParam == -1)
                rowsAtFinalReport = list_->topLevelItemCount();
            else
                progress << wParam;
        }
        return false;
    }

private:
    QTreeWidget* list_;
};

QString SimLog()
{
    QFile log(qEnvironmentVariable("ORVANE_SIM_LOG"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// The frames a camera logged after the first skip bytes of the log, one
// list per connection, in the order the connections were made. The camera
// serves each connection on a thread of its own, so the lines of two
// connections may interleave in its log.
QList<QStringList> FramesByConnection(const QString& camera, qsizetype skip)
{
    const QRegularExpression line(QStringLiteral("^frame camera=%1 conn=(\\d+) text=(.*)$")
                                      .arg(QRegularExpression::escape(camera)),
                                  QRegularExpression::MultilineOption);
    QMap<int, QStringList> connections;
    for (const QRegularExpressionMatch& m : line.globalMatch(SimLog().mid(skip)))
        connections[m.captured(1).toInt()] << m.captured(2);
    return connections.values();
}

void Press(CSetDlg* window, const char* button)
{
    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
}

}  // namespace

class LanWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!qEnvironmentVariable("ORVANE_SIM_LOG").isEmpty()); }
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

    void searchFillsTheListBeforeTheProgressWindowCloses()
    {
        ReportWatch watch(window->listView());
        window->OnSearch();
        QCOMPARE(Column(window->listView(), 1), (QStringList{"10.77.0.11", "10.77.0.12", "10.77.0.13"}));
        QCOMPARE(Column(window->listView(), 0), (QStringList{"1", "2", "3"}));
        QCOMPARE(Column(window->listView(), 3), (QStringList{"V2.4.3", "V3.1.0", "V1.0.7"}));
        QCOMPARE(watch.rowsAtFinalReport, 3);
        QCOMPARE(watch.progress, QList<long>{});
        QCOMPARE(driver->boxes.size(), 0);
    }

    void handAddedRowsVanishAtTheNextSearch()
    {
        driver->onDialog("CAddDlg", [](QDialog* dialog) {
            auto* add = static_cast<CAddDlg*>(dialog);
            add->addressControl()->setText(QStringLiteral("10.77.0.99"));
            QTest::mouseClick(add->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        window->OnAdd();
        QCOMPARE(Column(window->listView(), 1), QStringList{"10.77.0.99"});
        window->OnSearch();
        QCOMPARE(Column(window->listView(), 1), (QStringList{"10.77.0.11", "10.77.0.12", "10.77.0.13"}));
    }

    void firmwareUploadFromTheRowMenuReachesTheCamera()
    {
        window->OnSearch();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cam.br"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(25000, 'c'));
        file.close();
        window->setFileChooser([path](QWidget*, const QString&) { return path; });

        ReportWatch watch(window->listView());
        RightClickRowAndChoose(*driver, window->listView(), 0, QStringLiteral("Update"));
        QCOMPARE(driver->boxTexts(), QStringList{kSendFileOk});
        QCOMPARE(watch.progress, (QList<long>{409, 819}));
        QVERIFY2(SimLog().contains(QStringLiteral("upload camera=10.77.0.11 conn=1 kind=4 size=25000 ")), qPrintable(SimLog()));
        QVERIFY(SimLog().contains(QStringLiteral("received=25000 md5ok=1")));
    }

    void refusedConnectionShowsTheUploadsMessageOnly()
    {
        window->OnSearch();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("onvif_ips.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("10.77.0.50\n");
        file.close();
        window->setFileChooser([path](QWidget*, const QString&) { return path; });
        // 10.77.0.13 refuses command connections.
        RightClickRowAndChoose(*driver, window->listView(), 2, QStringLiteral("UpdateOnvifIps"));
        QCOMPARE(driver->boxTexts(), QStringList{"Link IPC Error"});
        QCOMPARE(driver->boxes[0].caption, QStringLiteral("Error"));
        RightClickRowAndChoose(*driver, window->listView(), 2, QStringLiteral("Update"));
        QCOMPARE(driver->boxTexts(), (QStringList{"Link IPC Error", "Link IPC error"}));
    }

    void settingsWindowButtonsReachTheCamera()
    {
        window->OnSearch();
        const qsizetype logStart = SimLog().size();
        driver->onDialog("CSetDlg", [](QDialog* dialog) {
            auto* set = static_cast<CSetDlg*>(dialog);
            set->addressControl()->setText(QStringLiteral("10.77.0.60"));
            Press(set, "ipSetButton");
            set->macEdit()->setText(QStringLiteral("001A2B3C4D60"));
            Press(set, "macSetButton");
            set->xEdit()->setText(QStringLiteral("499"));
            set->yEdit()->setText(QStringLiteral("99"));
            Press(set, "xySetButton");
            set->uidEdit()->setText(QStringLiteral("ORVLAN00000000000060"));
            Press(set, "uidSetButton");
            set->keyIdEdit()->setText(QStringLiteral("12"));
            Press(set, "keyIdSetButton");
            set->OnSetAll();
            set->reject();
        });
        clickRow(0);
        window->OnCommand(COrvaneDlg::kSet);
        QCOMPARE(driver->boxTexts(), QStringList(6, QStringLiteral("IPC will restart")));
        const QList<QStringList> expected{
            {"#3&1&10.77.0.60#", "#3&0&(null)#"},
            {"#3&2&00:1A:2B:3C:4D:60#", "#3&0&001A2B3C4D60#"},
            {"#3&3&499&99#", "#3&0&10.77.0.11#"},
            {"#3&4&ORVLAN00000000000060#", "#3&0&10.77.0.11#"},
            {"#3&5&12#"},
            {"#3&1&10.77.0.60#", "#3&2&00:1A:2B:3C:4D:60#", "#3&0&001A2B3C4D60#"},
        };
        // The camera logs a connection's frames as it reads them, which may be
        // after the window has shown its box.
        QTRY_COMPARE(FramesByConnection(QStringLiteral("10.77.0.11"), logStart), expected);
    }

    void settingsWindowOnARefusingCameraShowsLinkError()
    {
        window->OnSearch();
        driver->onDialog("CSetDlg", [](QDialog* dialog) {
            auto* set = static_cast<CSetDlg*>(dialog);
            Press(set, "keyIdSetButton");
            set->reject();
        });
        clickRow(2);  // 10.77.0.13 refuses command connections
        window->OnCommand(COrvaneDlg::kSet);
        QCOMPARE(driver->boxTexts(), QStringList{"Link IPC error"});
    }

    // Last: it takes the operator's links down and brings them back.
    void searchWithNoLinkToSendOnTellsTheOperator()
    {
        const QString cameraLink = qEnvironmentVariable("ORVANE_CAMERA_IF");
        const QString wifiLink = qEnvironmentVariable("ORVANE_WIFI_IF");
        QVERIFY(!wifiLink.isEmpty());
        QVERIFY(SetLink(cameraLink, "down") && SetLink(wifiLink, "down"));
        window->OnSearch();
        const bool restored = SetLink(cameraLink, "up") && SetLink(wifiLink, "up");
        QCOMPARE(window->listView()->topLevelItemCount(), 0);
        QCOMPARE(driver->boxes.size(), 1);
        QVERIFY(driver->boxes[0].owned);  // the main window's own box
        QVERIFY2(driver->boxes[0].text.startsWith(
                     QStringLiteral("The search could not be sent on any network interface (tried: none).")),
                 qPrintable(driver->boxes[0].text));
        QVERIFY(restored);
    }

private:
    static bool SetLink(const QString& name, const char* state)
    {
        return QProcess::execute(QStringLiteral("ip"), {"link", "set", name, QString::fromLatin1(state)}) == 0;
    }

    void clickRow(int row)
    {
        QTreeWidget* view = window->listView();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualItemRect(view->topLevelItem(row)).center());
        QCOMPARE(window->currentRow(), row);
    }


    UiTestSetup setup;
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;
};

QTEST_MAIN(LanWindowTest)
#include "LanWindowTest.moc"
