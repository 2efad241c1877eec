// The main window's commands for many cameras on the test LAN, against
// cameras that restart: Update selected and Assign addresses through the
// row menu and the batch window, Export list and Open web page. Each case
// runs on a test LAN of its own (ctest names the case), so none depends on
// what another did to the cameras.

#include "tests/ui/ListCells.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/CBatchDlg.h"
#include "ui/CFirstAddressDlg.h"
#include "ui/COrvaneDlg.h"
#include "ui/IpAddressCtrl.h"

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

namespace {

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

QStringList BatchColumn(const CBatchDlg* batch, int column)
{
    QStringList cells;
    for (int row = 0; row < batch->table()->rowCount(); ++row)
        cells << batch->table()->item(row, column)->text();
    return cells;
}

// Waits, without failing inside the driver's handler, for the batch's summary.
bool WaitForSummary(const CBatchDlg* batch, const QString& summary)
{
    for (int i = 0; i < 400 && batch->summary()->text() != summary; ++i)
        QTest::qWait(100);
    return batch->summary()->text() == summary;
}

}  // namespace

class FleetWindowTest : public QObject {
    Q_OBJECT

private slots:
    // orvane-cli's list of the same cameras, taken before the test started
    // (and so before any window held port 10088).
    void initTestCase()
    {
        QFile cli(qEnvironmentVariable("ORVANE_LAN_DIR") + QStringLiteral("/cli-search.csv"));
        QVERIFY(cli.open(QIODevice::ReadOnly));
        fromCli = cli.readAll();
        QCOMPARE(fromCli.count("\r\n"), 8);  // the header and seven cameras
    }

    void init()
    {
        window = std::make_unique<COrvaneDlg>();
        window->setBatchWait(std::chrono::seconds(6));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        driver = std::make_unique<ModalDriver>();
    }
    void cleanup()
    {
        driver.reset();
        window.reset();
    }

    void updateSelectedShowsEachCamerasOutcome()
    {
        window->OnSearch();
        QCOMPARE(Column(window->listView(), 1).mid(0, 4),
                 (QStringList{"10.77.0.11", "10.77.0.12", "10.77.0.13", "10.77.0.14"}));
        QTemporaryDir dir;
        const QString firmware = dir.filePath(QStringLiteral("fw.br"));
        QFile file(firmware);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(30000, 'f'));
        file.close();
        QString filterAsked;
        window->setFileChooser([&](QWidget*, const QString& filter) {
            filterAsked = filter;
            return firmware;
        });
        selectRows({0, 1, 2, 3});

        QStringList states;
        QStringList versions;
        bool ended = false;
        driver->onDialog("CBatchDlg", [&](QDialog* dialog) {
            auto* batch = static_cast<CBatchDlg*>(dialog);
            ended = WaitForSummary(batch, QStringLiteral("4 / 4 done, 3 failed"));
            states = BatchColumn(batch, CBatchDlg::kState);
            versions = BatchColumn(batch, CBatchDlg::kNew);
            QTest::mouseClick(batch->cancelButton(), Qt::LeftButton);
        });
        RightClickRowAndChoose(*driver, window->listView(), 0, QStringLiteral("Update selected..."));
        QVERIFY(ended);
        QCOMPARE(filterAsked, QStringLiteral("image|*.br||"));
        QCOMPARE(states, (QStringList{"upgraded to V2", "came back unchanged", "did not come back", "refused (code 3)"}));
        QCOMPARE(versions, (QStringList{"V2", "V1", "", ""}));
        // Closed after changes: the list was searched again and shows the new version;
        // the camera that never came back is gone from it.
        QCOMPARE(Column(window->listView(), 1).mid(0, 3), (QStringList{"10.77.0.11", "10.77.0.12", "10.77.0.14"}));
        QCOMPARE(Column(window->listView(), 3).mid(0, 3), (QStringList{"V2", "V1", "V1"}));
    }

    void assignAddressesShowsThePlanThenMovesTheCameras()
    {
        window->OnSearch();
        QCOMPARE(Column(window->listView(), 1).mid(4), (QStringList{"10.77.0.15", "10.77.0.16", "10.77.0.17"}));
        selectRows({4, 5, 6});
        driver->onDialog("CFirstAddressDlg", [](QDialog* dialog) {
            auto* ask = static_cast<CFirstAddressDlg*>(dialog);
            ask->addressControl()->setText(QStringLiteral("10.77.0.101"));
            QTest::mouseClick(ask->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        });
        QStringList plan;
        QStringList states;
        bool ended = false;
        driver->onDialog("CBatchDlg", [&](QDialog* dialog) {
            auto* batch = static_cast<CBatchDlg*>(dialog);
            for (int i = 0; i < 100 && !batch->applyButton()->isEnabled(); ++i)
                QTest::qWait(100);
            plan = BatchColumn(batch, CBatchDlg::kNew);
            QTest::mouseClick(batch->applyButton(), Qt::LeftButton);
            ended = WaitForSummary(batch, QStringLiteral("3 / 3 done, 0 failed"));
            states = BatchColumn(batch, CBatchDlg::kState);
            QTest::mouseClick(batch->cancelButton(), Qt::LeftButton);
        });
        RightClickRowAndChoose(*driver, window->listView(), 5, QStringLiteral("Assign addresses..."));
        QCOMPARE(plan, (QStringList{"10.77.0.101", "10.77.0.102", "10.77.0.103"}));
        QVERIFY(ended);
        QCOMPARE(states, (QStringList{"moved to 10.77.0.101", "moved to 10.77.0.102", "moved to 10.77.0.103"}));
        QCOMPARE(Column(window->listView(), 1).mid(4), (QStringList{"10.77.0.101", "10.77.0.102", "10.77.0.103"}));
    }

    void exportWritesWhatTheCliWritesAndTheWebPageOpens()
    {
        window->OnSearch();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.csv"));
        window->setSaveChooser([&](QWidget*) { return path; });
        ownMenuChoose(QStringLiteral("Export list..."));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), fromCli);
        written.close();

        // A row added by hand has no interface; the row menu's Export list writes it too.
        window->AddCameraRow("10.77.0.99", "?", "?", 0, 0, "?", "1");
        RightClickRowAndChoose(*driver, window->listView(), 0, QStringLiteral("Export list..."));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray withHandRow = written.readAll();
        QVERIFY(withHandRow.startsWith(fromCli));
        QCOMPARE(withHandRow.mid(fromCli.size()), QByteArray("8,10.77.0.99,?,?,0,0,?,1,\r\n"));

        UrlCatcher browser;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
        RightClickRowAndChoose(*driver, window->listView(), 1, QStringLiteral("Open web page"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(browser.opened, QList<QUrl>{QUrl(QStringLiteral("http://10.77.0.12/"))});
    }

private:
    void selectRows(const QList<int>& rows)
    {
        QTreeWidget* view = window->listView();
        view->clearSelection();
        for (int row : rows)
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              view->visualItemRect(view->topLevelItem(row)).center());
        QCOMPARE(view->selectedItems().size(), rows.size());
    }


    void ownMenuChoose(const QString& item)
    {
        const QPoint at(5, window->height() - 5);
        driver->chooseMenuItem(item);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, window->mapToGlobal(at));
        QApplication::sendEvent(window.get(), &event);
    }

    UiTestSetup setup;
    QByteArray fromCli;
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;
};

QTEST_MAIN(FleetWindowTest)
#include "FleetWindowTest.moc"
