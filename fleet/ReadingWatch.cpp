#include "fleet/ReadingWatch.h"

#include "discovery/SearchExchange.h"
#include "platform/JobScope.h"

namespace orvane::fleet {

std::map<std::string, CameraReading> ReadingWatch::search()
{
    {
        ScopedJob quiet(JobScope{});
        exchange_->search();
    }
    std::map<std::string, CameraReading> seen;
    for (CameraReading& r : ReadingsOfDirectory())
        seen.emplace(r.mac, std::move(r));
    return seen;
}

}  // namespace orvane::fleet
