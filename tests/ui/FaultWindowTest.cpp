// The main window against a camera that sends its answer unasked, every 5 ms,
// from before the first search and for ever: on the test LAN, with the
// cameras of tests/ui/CMakeLists.txt. What arrived between searches counts
// for the next one, each camera is listed once, and the search ends at its
// longest instead of waiting for a quiet that never comes.

#include "discovery/CameraDirectory.h"
#include "discovery/SearchExchange.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/COrvaneDlg.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>

class FaultWindowTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    // A 3 s longest instead of 30 s: the cut comes all the same.
    orvane::ScopedProtocolTiming timing{LongestOf3s()};
    static orvane::ProtocolTiming LongestOf3s()
    {
        orvane::ProtocolTiming t = QuickWindowTestTiming();
        t.searchLongest_ms = 3000;
        return t;
    }

private slots:
    void neverQuietCameraEndsTheSearchAtItsLongest()
    {
        COrvaneDlg window;
        window.show();
        ModalDriver driver;
        QTest::qWait(1000);  // answers pile up in the window's socket meanwhile

        QElapsedTimer search;
        search.start();
        window.OnSearch();
        const qint64 took = search.elapsed();
        const int longest_ms = orvane::CurrentProtocolTiming().searchLongest_ms;
        QVERIFY2(took >= longest_ms - 200 && took < longest_ms + 3000,
                 qPrintable(QString::number(took)));
        QTreeWidget* list = window.listView();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("10.77.0.11"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("10.77.0.12"));
        QCOMPARE(orvane::TheCameraDirectory().size(), size_t(2));
        QCOMPARE(driver.boxes.size(), 0);
        qInfo("search under a never-ending stream of answers took %lld ms", took);
    }
};

QTEST_MAIN(FaultWindowTest)
#include "FaultWindowTest.moc"
