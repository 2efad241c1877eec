// orvane: the operator's window. Installs the Qt side of the operator prompts
// and job reports, then runs the main window until Exit.

#include "platform/JobReports.h"
#include "platform/OperatorPrompt.h"
#include "ui/COrvaneDlg.h"
#include "ui/QtJobReports.h"
#include "ui/QtOperatorPrompt.h"
#include "ui/Resources.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitOrvaneResources();
    QtOperatorPrompt prompt;
    QtJobReports reports;
    orvane::InstallOperatorPrompt(&prompt);
    orvane::InstallJobReportSink(&reports);
    {
        COrvaneDlg window;
        window.exec();
    }
    orvane::InstallJobReportSink(nullptr);
    orvane::InstallOperatorPrompt(nullptr);
    return 0;
}
