// orvane: the operator's window. Installs the Qt side of the operator prompts
// and job reports, then hands over to the application's start-up.
//
// Without a display (no DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM or
// -platform, or a DISPLAY whose server cannot be reached) the prompts go to stderr, so that a register run from a script,
// or the plug-in check, still ends as it should.

#include "app/orvane/COrvaneApp.h"
#include "process/JobReports.h"
#include "process/OperatorPrompt.h"
#include "process/StderrPrompt.h"
#include "ui/QtJobReports.h"
#include "ui/QtOperatorPrompt.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QFileInfo>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

bool IsSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Qt ends the process when the X server DISPLAY names cannot be reached,
// before any of ours runs; a register run from a script must still do its
// work, so such a server counts as no display at all.
bool XServerReachable()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

bool HasDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    }
    if (IsSet("QT_QPA_PLATFORM") || IsSet("WAYLAND_DISPLAY"))
        return true;
    return IsSet("DISPLAY") && XServerReachable();
}

// The application's name is the program file's name without its extension.
void NameTheApplication()
{
    QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

// An embedded or automation start serves no class objects, so nothing would
// ever arrive for it: whatever InitInstance answers, the program ends here.
int Run(COrvaneApp& theApp, int argc, char** argv)
{
    theApp.InitInstance(argc, argv);
    return theApp.ExitInstance();
}

int RunWithoutDisplay(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NameTheApplication();
    orvane::StderrPrompt prompt;
    orvane::InstallOperatorPrompt(&prompt);
    COrvaneApp theApp;
    theApp.noDisplay = true;
    const int code = Run(theApp, argc, argv);
    orvane::InstallOperatorPrompt(nullptr);
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!HasDisplay(argc, argv))
        return RunWithoutDisplay(argc, argv);
    QApplication app(argc, argv);
    NameTheApplication();
    InitOrvaneResources();
    QtOperatorPrompt prompt;
    QtJobReports reports;
    orvane::InstallOperatorPrompt(&prompt);
    orvane::InstallJobReportSink(&reports);
    COrvaneApp theApp;
    const int code = Run(theApp, argc, argv);
    orvane::InstallJobReportSink(nullptr);
    orvane::InstallOperatorPrompt(nullptr);
    return code;
}
