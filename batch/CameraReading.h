#pragma once
// What a camera's search answer says of it: what a batch's steps are read
// back against.

#include "discovery/CameraDirectory.h"

#include <string>
#include <vector>

namespace orvane::batch {

struct CameraReading {
    std::string ip;
    std::string mac;
    std::string version;
    std::string uid;
    int x = 0;
    int y = 0;
    int keyId = 1;
    std::string interfaceName;
};

// The cameras of a search, in its order.
std::vector<CameraReading> ReadingsOf(const CameraDirectory& cameras);

}  // namespace orvane::batch
