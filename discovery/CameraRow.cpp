#include "discovery/CameraRow.h"

#include <cstdio>

namespace orvane {
namespace {
std::string Decimal(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    return text;
}
}  // namespace

CameraRow MakeCameraRow(int id, const char* ip, const char* mac, const char* version, int x, int y,
                        const char* uid, const char* keyId)
{
    return {Decimal(id), ip, mac, version, Decimal(x), Decimal(y), uid, keyId};
}

CameraRow MakeCameraRow(int id, const CameraRecord& record)
{
    return MakeCameraRow(id, record.ip, record.mac, record.version, record.x, record.y, record.uid,
                         Decimal(record.keyId).c_str());
}

}  // namespace orvane
