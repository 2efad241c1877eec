#include "batch/CameraReading.h"

namespace orvane::batch {

std::vector<CameraReading> ReadingsOf(const CameraDirectory& cameras)
{
    std::vector<CameraReading> readings;
    for (const CameraRecord* r = cameras.head(); r; r = r->next.get())
        readings.push_back({r->ip, r->mac, r->version, r->uid, r->x, r->y, r->keyId, r->interfaceName});
    return readings;
}

}  // namespace orvane::batch
