#include "ui/WindowState.h"

WindowHandle g_hMainWnd;
WindowHandle g_hWaitingWnd;
std::string g_strFilePath;
std::string g_strIpcAddress;
bool g_bRunning = false;
