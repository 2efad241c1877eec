#pragma once
// What every window test installs before its first window: the compiled-in
// resources and the Qt side of operator prompts and job reports.

#include "platform/JobReports.h"
#include "platform/OperatorPrompt.h"
#include "ui/QtJobReports.h"
#include "ui/QtOperatorPrompt.h"
#include "ui/Resources.h"

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

    QtOperatorPrompt prompt;
    QtJobReports reports;
};
