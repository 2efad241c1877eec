#pragma once
// The process-wide values the windows and their jobs share. Only
// g_hWaitingWnd is read off the user-interface thread (by upload workers),
// which is why the handles are WindowHandles rather than bare pointers.

#include "ui/WindowHandle.h"

#include <string>

extern WindowHandle g_hMainWnd;     // the main window while it searches: target of 1125
extern WindowHandle g_hWaitingWnd;  // the open progress window: target of 1126
extern std::string g_strFilePath;   // file of the next upload
extern std::string g_strIpcAddress; // camera of the next upload
extern bool g_bRunning;             // the progress window's job runs (user-interface thread only)
