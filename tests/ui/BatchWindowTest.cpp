// The batch window on the test LAN against cameras that restart: an upgrade
// of four cameras with every outcome, Cancel in the middle of an upload, and
// an address plan applied after Apply. Runs inside scripts/test-lan with the
// cameras of tests/ui/CMakeLists.txt.

#include "tests/ui/UiTestSetup.h"
#include "discovery/SearchExchange.h"
#include "ui/CBatchDlg.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString SimLog()
{
    QFile log(qEnvironmentVariable("ORVANE_SIM_LOG"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

QStringList Column(const CBatchDlg& window, int column)
{
    QStringList cells;
    for (int row = 0; row < window.table()->rowCount(); ++row)
        cells << window.table()->item(row, column)->text();
    return cells;
}

int Bar(const CBatchDlg& window, int row)
{
    return static_cast<QProgressBar*>(window.table()->cellWidget(row, CBatchDlg::kProgress))->value();
}

QString Firmware(const QTemporaryDir& dir, int bytes)
{
    const QString path = dir.filePath(QStringLiteral("fw.br"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(bytes, 'f'));
    return path;
}

constexpr int kLongWait_ms = 30000;

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(orvane::InitSearchSocket()); }

    void upgradeShowsEveryOutcomeAndTheSummary()
    {
        QTemporaryDir dir;
        CBatchDlg window(CBatchDlg::Work::Upgrade, {"10.77.0.11", "10.77.0.12", "10.77.0.13", "10.77.0.14"},
                         Firmware(dir, 30000));
        window.setWait(std::chrono::seconds(6));
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(Column(window, CBatchDlg::kMac),
                                  (QStringList{"000000000011", "000000000012", "000000000013", "000000000014"}), 10000);
        QCOMPARE(Column(window, CBatchDlg::kOldVersion), (QStringList{"V1", "V1", "V1", "V1"}));
        QTRY_COMPARE_WITH_TIMEOUT(window.summary()->text(), QStringLiteral("4 / 4 done, 3 failed"), kLongWait_ms);
        QCOMPARE(Column(window, CBatchDlg::kState),
                 (QStringList{"upgraded to V2", "came back unchanged", "did not come back", "refused (code 3)"}));
        QCOMPARE(Column(window, CBatchDlg::kNew), (QStringList{"V2", "V1", "", ""}));
        QCOMPARE(Bar(window, 0), 1000);
        QCOMPARE(window.cancelButton()->text(), QStringLiteral("Close"));
        QVERIFY(window.changedCameras());
        QVERIFY(!window.applyButton()->isVisible());
    }

    void cancelMidUploadInterruptsTheRunningRows()
    {
        QTemporaryDir dir;
        const qsizetype logStart = SimLog().size();
        CBatchDlg window(CBatchDlg::Work::Upgrade, {"10.77.0.15", "10.77.0.16"}, Firmware(dir, 409600));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(Bar(window, 0) > 0 && Bar(window, 1) > 0, 10000);
        QCOMPARE(Column(window, CBatchDlg::kState), (QStringList{"uploading", "uploading"}));
        QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Column(window, CBatchDlg::kState), (QStringList{"interrupted", "interrupted"}), 3000);
        QTRY_COMPARE(window.cancelButton()->text(), QStringLiteral("Close"));
        // Each camera saw its connection close before the file was in.
        for (const char* camera : {"10.77.0.15", "10.77.0.16"}) {
            QTRY_VERIFY2(SimLog().mid(logStart).contains(
                             QRegularExpression(QStringLiteral("upload camera=%1 .* received=\\d+ md5ok=0").arg(camera))),
                         qPrintable(SimLog().mid(logStart)));
            QVERIFY(SimLog().mid(logStart).contains(QStringLiteral("close camera=%1 ").arg(camera)));
        }
        QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }

    // Last: the cameras move.
    void addressPlanIsShownThenAppliedOnApply()
    {
        CBatchDlg window(CBatchDlg::Work::AssignAddresses, {"10.77.0.19", "10.77.0.20", "10.77.0.21"},
                         QStringLiteral("10.77.0.20"));
        window.setWait(std::chrono::seconds(8));
        window.show();
        // .20 and .21 answer from the other two cameras: the plan skips them.
        QTRY_COMPARE_WITH_TIMEOUT(Column(window, CBatchDlg::kNew),
                                  (QStringList{"10.77.0.22", "10.77.0.23", "10.77.0.24"}), 10000);
        QCOMPARE(Column(window, CBatchDlg::kState), (QStringList{"planned", "planned", "planned"}));
        QVERIFY(window.applyButton()->isEnabled());
        QTest::qWait(300);
        QVERIFY(!SimLog().contains(QStringLiteral("text=#3&1&")));  // nothing sent before Apply
        QTest::mouseClick(window.applyButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.summary()->text(), QStringLiteral("3 / 3 done, 0 failed"), kLongWait_ms);
        QCOMPARE(Column(window, CBatchDlg::kState),
                 (QStringList{"moved to 10.77.0.22", "moved to 10.77.0.23", "moved to 10.77.0.24"}));
    }

private:
    UiTestSetup setup;
};

QTEST_MAIN(BatchWindowTest)
#include "BatchWindowTest.moc"
