#include "fleet/ReturnWatch.h"

#include "fleet/CameraChoice.h"

namespace orvane::fleet {

std::map<std::string, Sighting> ReturnWatch::search()
{
    std::map<std::string, Sighting> seen;
    for (const FleetCamera& camera : SearchQuietly(exchange_, request_))
        seen.emplace(camera.mac, Sighting{camera.ip, camera.oldVersion});
    return seen;
}

}  // namespace orvane::fleet
