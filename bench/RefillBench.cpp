// Refill benchmark: the directory holds N cameras (1000 unless given) and
// the main window, shown, receives the search's final report. Prints the
// time to refill the list and the time until it is painted, over a number of
// rounds, each starting from an empty list.
//   refill_bench [N] [ROUNDS] -platform offscreen

#include "discovery/CameraDirectory.h"
#include "ui/COrvaneDlg.h"
#include "ui/JobReportEvent.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void FillDirectory(int cameras)
{
    orvane::ClearCameras();
    char mac[32], ip[32], uid[32];
    for (int i = 0; i < cameras; ++i) {
        std::snprintf(mac, sizeof mac, "00:1a:2b:%02x:%02x:%02x", (i >> 16) & 0xff, (i >> 8) & 0xff, i & 0xff);
        std::snprintf(ip, sizeof ip, "10.%d.%d.%d", 77 + i / 65536, (i / 256) % 256, i % 256);
        std::snprintf(uid, sizeof uid, "ORVBENCH%012d", i);
        orvane::AddSearchAnswer(mac, ip, "V3.1.0", "120&45", uid, i % 100);
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int cameras = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    InitOrvaneResources();
    FillDirectory(cameras);

    COrvaneDlg window;
    window.show();
    QApplication::processEvents();

    std::vector<double> refill, painted;
    for (int round = 0; round < rounds; ++round) {
        window.cameraList().deleteAllRows();
        QApplication::processEvents();
        const Clock::time_point start = Clock::now();
        JobReportEvent finished(1125, 0, 0);
        QApplication::sendEvent(&window, &finished);
        refill.push_back(MillisecondsSince(start));
        window.listView()->viewport()->repaint();
        painted.push_back(MillisecondsSince(start));
        if (window.cameraList().rowCount() != cameras) {
            std::fprintf(stderr, "refill_bench: %d rows for %d cameras\n", window.cameraList().rowCount(), cameras);
            return 1;
        }
    }
    std::printf("%-8s %-7s %-22s %s\n", "cameras", "rounds", "refill median / max", "refill+paint median / max");
    std::printf("%-8d %-7d %7.2f / %7.2f ms      %7.2f / %7.2f ms\n", cameras, rounds, Median(refill),
                *std::max_element(refill.begin(), refill.end()), Median(painted),
                *std::max_element(painted.begin(), painted.end()));
    return 0;
}
