#include "control/FirmwareKind.h"

#include "control/FileUpload.h"

#include <cstring>

namespace orvane {

int FirmwareKindForPath(const char* path)
{
    return std::strstr(path, "zImage") == path ? 2 : 4;
}

UploadRoutine FirmwareRoutineForPath(const char* path)
{
    return FirmwareKindForPath(path) == 2 ? UploadRoutine::Kind2 : UploadRoutine::Kind4;
}

UploadOutcome UpdateFirmware(const JobContext& context, const char* path, const char* address)
{
    return UploadFile(context, FirmwareRoutineForPath(path), path, address);
}

bool UpdateIpcFirmware(const char* path, const char* address)
{
    return UpdateFirmware(JobContext::Process(), path, address).finished;
}

}  // namespace orvane
