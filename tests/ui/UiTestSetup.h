#pragma once
// What every window test installs before its first window: the compiled-in
// resources and the Qt side of operator prompts and job reports.

#include "process/JobReports.h"
#include "process/OperatorPrompt.h"
#include "process/ProtocolTiming.h"
#include "ui/QtJobReports.h"
#include "ui/QtOperatorPrompt.h"
#include "ui/Resources.h"

// The simulator and the loopback cameras answer within milliseconds and
// write a chunk at once: window tests search until a 0.5 s quiet gap, pause
// 20 ms between chunks and give a silent address-list camera 1 s.
inline orvane::ProtocolTiming QuickWindowTestTiming()
{
    orvane::ProtocolTiming timing;
    timing.searchGap_ms = 500;
    timing.chunkPause_ms = 20;
    timing.onvifSendTimeout_ms = 1000;
    return timing;
}

struct UiTestSetup {
    UiTestSetup()
    {
        InitOrvaneResources();
        orvane::InstallOperatorPrompt(&prompt);
        orvane::InstallJobReportSink(&reports);
    }
    ~UiTestSetup()
    {
        orvane::InstallJobReportSink(nullptr);
        orvane::InstallOperatorPrompt(nullptr);
    }
    UiTestSetup(const UiTestSetup&) = delete;
    UiTestSetup& operator=(const UiTestSetup&) = delete;

    orvane::ScopedProtocolTiming timing{QuickWindowTestTiming()};
    QtOperatorPrompt prompt;
    QtJobReports reports;
};
