#pragma once
// The eight cells of a camera list row (ID, IP, MAC, Version, X, Y, UID,
// KEYID), written exactly as the main window writes them.

#include "discovery/CameraRecord.h"

#include <array>
#include <string>

namespace orvane {

using CameraRow = std::array<std::string, 8>;

// id is the number shown in column 0: the rows before this one, plus 1.
CameraRow MakeCameraRow(int id, const char* ip, const char* mac, const char* version, int x, int y,
                        const char* uid, const char* keyId);
CameraRow MakeCameraRow(int id, const CameraRecord& record);

}  // namespace orvane
