#pragma once
// What travels on the cameras' command port, TCP 16101: 4096-byte frames
// whose texts the simulator reads and logs, upload headers, and the rules a
// camera applies to them. The server itself is CommandServer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvane::sim {

constexpr unsigned short kCommandPort = 16101;
constexpr size_t kCommandFrameBytes = 4096;

// An upload header "#K&SIZE&DIGEST#": K one of 2, 4, 6, SIZE decimal digits
// within a signed 32-bit value, DIGEST 16 lower-case hexadecimal characters.
struct UploadHeader {
    int kind = 0;
    int64_t size = 0;
    std::string digest;
};
bool ParseUploadHeader(const std::string& text, UploadHeader& header);

// The address of a set-ip or set-net frame "#3&1&ADDR#", or "" for any other frame.
std::string AddressChangeIn(const std::string& text);

// The settings a connection's frames change: UID "#3&4&UID#", X/Y
// "#3&3&X&Y#", keyboard id "#3&5&K#". A camera answers with them once it
// has restarted, or at once when it does not restart.
struct SettingChange {
    std::optional<std::string> uid;
    std::optional<std::string> xy;  // as the answer carries it: "X&Y"
    std::optional<int32_t> keyId;
    bool any() const { return uid || xy || keyId; }
};
// Adds what text sets to change; false for any other frame.
bool SettingIn(const std::string& text, SettingChange& change);

// An upload a camera takes as a new firmware: kind 2 or 4, all its data in,
// and a reply that reads as 1 or 2.
bool UpgradeAccepted(const UploadHeader& header, bool whole, const std::string& reply);

// Printable ASCII as is, a backslash doubled, any other byte as \xHH.
std::string EscapeForLog(const std::string& text);

}  // namespace orvane::sim
