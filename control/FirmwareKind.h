#pragma once
// Which firmware upload a path goes out as: kind 2 only when the path begins
// with the six characters "zImage" (case-sensitive), kind 4 in every other
// case, "zImage" further on included.

#include "control/FileUpload.h"

namespace orvane {

int FirmwareKindForPath(const char* path);
UploadRoutine FirmwareRoutineForPath(const char* path);

// Uploads a firmware file with the kind its path chooses, in the context
// given; UpdateIpcFirmware does it in the process's own context.
UploadOutcome UpdateFirmware(const JobContext& context, const char* path, const char* address);
bool UpdateIpcFirmware(const char* path, const char* address);

}  // namespace orvane
