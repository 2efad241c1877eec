// Apply plan in the batch window on three restarting cameras: the checked
// plan shows each camera's changes and sends nothing before Apply, then
// every field's outcome. Runs inside scripts/test-lan with the cameras of
// tests/ui/CMakeLists.txt.

#include "tests/ui/UiTestSetup.h"
#include "discovery/SearchExchange.h"
#include "ui/CBatchDlg.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

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

QString Plan(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("plan.csv"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

}  // namespace

class PlanWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(orvane::InitSearchSocket()); }

    void refusedPlanShowsEveryProblem()
    {
        QTemporaryDir dir;
        CBatchDlg window(CBatchDlg::Work::ApplyPlan, {}, Plan(dir, "mac,x,colour\n0000000000zz,1,\n000000000011,0,\n"));
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.summary()->text().startsWith(QStringLiteral("The plan is refused")), 10000);
        QCOMPARE(window.summary()->text(), QStringLiteral("The plan is refused, nothing was sent:\n"
                                                          "line 1: unknown column 'colour'\n"
                                                          "line 2: MAC '0000000000zz' is not twelve hexadecimal digits\n"
                                                          "line 3: x '0' is not a whole number from 1 to 499"));
        QVERIFY(!window.applyButton()->isEnabled());
        QVERIFY(!window.changedCameras());
    }

    void planIsShownThenEveryOutcomeAfterApply()
    {
        QTemporaryDir dir;
        CBatchDlg window(CBatchDlg::Work::ApplyPlan, {},
                         Plan(dir, "mac,uid,x,y,keyid\n"
                                   "000000000013,PLANUID0000000000013,,,\n"
                                   "000000000011,,5,6,\n"
                                   "000000000012,,,,4\n"));
        window.setWait(std::chrono::seconds(6));
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(Column(window, CBatchDlg::kMac),
                                  (QStringList{"000000000011", "000000000012", "000000000013"}), 10000);
        QCOMPARE(Column(window, CBatchDlg::kNew),
                 (QStringList{QStringLiteral("x: 1 \u2192 5; y: 1 \u2192 6"), QStringLiteral("keyid: 1 \u2192 4"),
                              QStringLiteral("uid: SIMUID0000000000000001 \u2192 PLANUID0000000000013")}));
        QCOMPARE(Column(window, CBatchDlg::kState), (QStringList{"planned", "planned", "planned"}));
        QVERIFY(window.applyButton()->isEnabled());
        QTest::qWait(300);
        QVERIFY(!SimLog().contains(QStringLiteral("frame ")));  // nothing sent before Apply
        window.applyButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(window.summary()->text(), QStringLiteral("3 / 3 done, 1 failed"), 30000);
        QCOMPARE(Column(window, CBatchDlg::kState), (QStringList{"as planned", "not as planned", "as planned"}));
        QCOMPARE(Column(window, CBatchDlg::kNew),
                 (QStringList{QStringLiteral("x: 1 \u2192 5 applied; y: 1 \u2192 6 applied"),
                              QStringLiteral("keyid: 1 \u2192 4 not-back"),
                              QStringLiteral("uid: SIMUID0000000000000001 \u2192 PLANUID0000000000013 applied")}));
        QCOMPARE(window.cancelButton()->text(), QStringLiteral("Close"));
        QVERIFY(window.changedCameras());
    }
};

QTEST_MAIN(PlanWindowTest)
#include "PlanWindowTest.moc"
