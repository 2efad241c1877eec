// Whatever starts orvane chooses its arguments. Input: the arguments after the
// program's name, separated by zero bytes (an empty word is an empty argument).

#include "app/orvane/CommandLineInfo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using orvane::CCommandLineInfo;

void Fail(const char* what)
{
    std::fprintf(stderr, "command line: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words{"orvane"};
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    if (size == 0)
        words.pop_back();
    // Each argument its own allocation, so that a read past one's end is caught.
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    for (const std::string& w : words) {
        storage.emplace_back(w.begin(), w.end());
        storage.back().push_back('\0');
    }
    for (std::vector<char>& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    CCommandLineInfo info;
    orvane::ParseCommandLine(info, static_cast<int>(words.size()), argv.data());

    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
    case CCommandLineInfo::FileOpen:
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo:
    case CCommandLineInfo::FileDDE:
    case CCommandLineInfo::AppRegister:
    case CCommandLineInfo::AppUnregister:
    case CCommandLineInfo::FileNothing:
        break;
    default:
        Fail("shell command outside its enum");
    }
    // The file to open is the first argument that is not a switch, as given.
    std::string first;
    for (size_t i = 1; i < words.size() && first.empty(); ++i) {
        if (words[i][0] != '-' && words[i][0] != '/')
            first = words[i];
    }
    if (info.m_strFileName != first)
        Fail("file name is not the first plain argument");
    if (info.m_nShellCommand == CCommandLineInfo::FileNew && !first.empty())
        Fail("a file to open left the command at FileNew");
    return 0;
}
