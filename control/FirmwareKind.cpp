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

bool UpdateIpcFirmware(const char* path, const char* address)
{
    return FirmwareKindForPath(path) == 2 ? UpdateIpcKind2(path, address) : UpdateIpcKind4(path, address);
}

}  // namespace orvane
