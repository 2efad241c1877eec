#pragma once
// The setting operations of the settings window: UID, keyboard identifier,
// X/Y, and network address and/or MAC. Each opens the command channel for
// itself, tells the operator its outcome in a message box and returns true
// only when every frame of the operation was sent in full.

#include "job/JobContext.h"

#include <cstddef>
#include <string>

namespace orvane {

// Message texts the camera's owners know these operations by.
inline constexpr char kLinkIpcError[] = "Link IPC error";
inline constexpr char kSendDataError[] = "Send Data error";
inline constexpr char kClosingFrameError[] = "发送数据失败";
inline constexpr char kIpError[] = "IP error";
inline constexpr char kMacError[] = "MAC error";
inline constexpr char kIpcWillRestart[] = "IPC will restart";
// A text too long for one frame is refused before anything goes out.
inline constexpr char kCommandTooLong[] = "Command too long";

// The pause that lets the camera take the keyboard identifier before the
// connection closes.
constexpr int kKeyIdSettle_ms = 1000;

constexpr size_t kMaxAddressText = 15;  // 255.255.255.255
constexpr size_t kMacText = 12;         // twelve hexadecimal digits
constexpr size_t kMacColonText = 17;    // six pairs joined by colons

// Closing frame of an address-only change: the word the camera has always
// received there, since such a change has no MAC to close with.
inline constexpr char kNoMacText[] = "(null)";

// Writes the twelve characters of mac as six colon-joined pairs into out
// (kMacColonText + 1 bytes), letter case unchanged.
void MacColonForm(const char* mac, char (&out)[kMacColonText + 1]);

struct SettingOutcome {
    bool sent = false;    // every frame went out in full
    std::string message;  // what the context's prompt is told: why it failed, or "IPC will restart"
};

// The four settings in the context given: its prompt is told, its token
// cancels the connection, which takes its path.
SettingOutcome SetUid(const JobContext& context, const char* address, const char* uid);
SettingOutcome SetKeyId(const JobContext& context, const char* address, int keyId);
SettingOutcome SetXY(const JobContext& context, const char* address, int x, int y);
// newAddress and mac may each be nullptr; callers give at least one.
SettingOutcome SetNetwork(const JobContext& context, const char* address, const char* newAddress, const char* mac);

// The same in the process's own context (JobContext::Process).
bool SetIpcUid(const char* address, const char* uid);
bool SetIpcKeyId(const char* address, int keyId);
bool SetIpcXY(const char* address, int x, int y);
bool SetIpcNet(const char* address, const char* newAddress, const char* mac);

}  // namespace orvane
