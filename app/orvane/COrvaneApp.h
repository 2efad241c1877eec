#pragma once
// The application: start-up refuses to run without the Vidra plug-in, then
// reads the command line of a local server start and either registers or
// unregisters the server, ends an embedded or automation start, or runs the
// main window until Exit.

#include "app/orvane/COrvaneModule.h"

class QWidget;

class COrvaneApp {
public:
    inline static constexpr char kPluginMissing[] = "Error:the TarnVidraActivex is not exist,please install it";

    // argv as the framework left it (its own switches taken out). True only
    // for an embedded or automation start, which shows no window.
    bool InitInstance(int argc, char** argv);
    // The process's exit code.
    int ExitInstance();

    // While the main window runs.
    QWidget* mainWindow = nullptr;
    // Set when there is no display: an ordinary start then ends with code 1
    // instead of opening the main window.
    bool noDisplay = false;

private:
    orvane::COrvaneModule module_;
    int exitCode_ = 0;
};
