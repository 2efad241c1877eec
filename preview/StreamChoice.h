#pragma once
// Which stream a Link command asks the camera for. Cameras whose version
// contains "2.4." number their streams 0 (1080P) and 1 (720P); all others
// 4 and 5.

#include <cstdint>

namespace orvane {

enum class LinkQuality { k1080P, k720P };

int16_t StreamForLink(const char* version, LinkQuality quality);

}  // namespace orvane
