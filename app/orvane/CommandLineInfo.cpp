#include "app/orvane/CommandLineInfo.h"

#include <strings.h>

namespace orvane {

void CCommandLineInfo::ParseParam(const char* param, bool flag, bool /*last*/)
{
    if (flag)
        ParseParamFlag(param);
    else
        ParseParamNotFlag(param);
}

void CCommandLineInfo::ParseParamFlag(const char* param)
{
    if (strcasecmp(param, "pt") == 0) {
        m_nShellCommand = FilePrintTo;
    } else if (strcasecmp(param, "p") == 0) {
        m_nShellCommand = FilePrint;
    } else if (strcasecmp(param, "register") == 0 || strcasecmp(param, "regserver") == 0) {
        m_nShellCommand = AppRegister;
    } else if (strcasecmp(param, "unregister") == 0 || strcasecmp(param, "unregserver") == 0) {
        m_nShellCommand = AppUnregister;
    } else if (strcasecmp(param, "dde") == 0) {
        m_nShellCommand = FileDDE;
    } else if (strcasecmp(param, "embedding") == 0) {
        m_bRunEmbedded = true;
    } else if (strcasecmp(param, "automation") == 0) {
        m_bRunAutomated = true;
    }
}

void CCommandLineInfo::ParseParamNotFlag(const char* param)
{
    if (m_strFileName.empty())
        m_strFileName = param;
    if (m_nShellCommand == FileNew && !m_strFileName.empty())
        m_nShellCommand = FileOpen;
}

void ParseCommandLine(CCommandLineInfo& info, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* param = argv[i];
        const bool flag = param[0] == '-' || param[0] == '/';
        info.ParseParam(flag ? param + 1 : param, flag, i == argc - 1);
    }
}

}  // namespace orvane
