#pragma once
// The command line of a local server start, read the way the window
// framework's parser reads it: each argument starting with '/' or '-' is a
// switch, compared without regard to case; the first other argument is a
// file to open.
//
//   /RegServer, /Register        register the server (shell command 5)
//   /UnregServer, /Unregister    unregister it (6)
//   /Embedding                   started to serve a class
//   /Automation                  started for automation
//   /p FILE, /pt FILE ...        print, print to
//   /dde                         a DDE start
// Unknown switches are ignored.

#include <string>

namespace orvane {

class CCommandLineInfo {
public:
    enum ShellCommand {
        FileNew = 0,
        FileOpen = 1,
        FilePrint = 2,
        FilePrintTo = 3,
        FileDDE = 4,
        AppRegister = 5,
        AppUnregister = 6,
        FileNothing = 7,
    };

    // One argument, without its leading '/' or '-' when flag is true.
    void ParseParam(const char* param, bool flag, bool last);

    bool m_bRunEmbedded = false;
    bool m_bRunAutomated = false;
    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName;

private:
    void ParseParamFlag(const char* param);
    void ParseParamNotFlag(const char* param);
};

// Feeds argv[1] .. argv[argc - 1] to info.ParseParam.
void ParseCommandLine(CCommandLineInfo& info, int argc, char** argv);

}  // namespace orvane
