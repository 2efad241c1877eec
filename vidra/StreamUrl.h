#pragma once
// The address of a camera's stream. Cameras offer RTSP on port 554, the
// main stream (1080P) at /main and the sub stream (720P) at /sub; cameras
// that differ are reached by setting VIDRA_URL to a pattern in which
// {address} stands for the camera's address, {stream} for "main" or "sub"
// and {number} for the stream number the host asked for.

#include <string>

namespace vidra {

inline constexpr char kDefaultUrlPattern[] = "rtsp://{address}:554/{stream}";

// 1 and 5 ask for the sub stream; every other number for the main stream.
const char* StreamName(int stream);

// Fills pattern's placeholders; text outside them is copied unchanged.
std::string ExpandUrlPattern(const std::string& pattern, const std::string& address, int stream);

// The URL as the control shows it and logs it: a password in it (the part
// after "user:" before the '@' of the authority) becomes "***".
std::string UrlWithoutPassword(const std::string& url);

// The URL for address and stream, from VIDRA_URL or the default pattern.
std::string StreamUrl(const std::string& address, int stream);

}  // namespace vidra
