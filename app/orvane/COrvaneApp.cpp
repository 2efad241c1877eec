#include "app/orvane/COrvaneApp.h"

#include "app/orvane/CommandLineInfo.h"
#include "process/OperatorPrompt.h"
#include "preview/PluginRegistration.h"
#include "ui/COrvaneDlg.h"

#include <cstdio>

bool COrvaneApp::InitInstance(int argc, char** argv)
{
    // Before anything else, the command line included: without the plug-in
    // there is no program to run.
    if (!orvane::IsPluginRegistered()) {
        orvane::ShowOperatorMessage(kPluginMissing);
        return false;
    }

    orvane::CCommandLineInfo commandLine;
    orvane::ParseCommandLine(commandLine, argc, argv);
    if (module_.RegisterClassFactories() < 0)
        return false;
    if (commandLine.m_bRunEmbedded || commandLine.m_bRunAutomated)
        return true;
    if (commandLine.m_nShellCommand == orvane::CCommandLineInfo::AppUnregister) {
        module_.UpdateAppIdEntries(false);
        return false;
    }
    if (commandLine.m_nShellCommand == orvane::CCommandLineInfo::AppRegister) {
        module_.UpdateAppIdEntries(true);
        return false;
    }

    if (noDisplay) {
        std::fprintf(stderr, "orvane: no display to show the window on\n");
        exitCode_ = 1;
        return false;
    }
    COrvaneDlg window;
    mainWindow = &window;
    window.exec();
    mainWindow = nullptr;
    return false;
}

int COrvaneApp::ExitInstance()
{
    module_.RevokeClassFactories();
    return exitCode_;
}
