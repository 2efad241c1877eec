#include "batch/ReadingWatch.h"

#include "discovery/SearchExchange.h"

namespace orvane::batch {

std::map<std::string, CameraReading> ReadingWatch::search()
{
    const SearchResult result = exchange_->search(request_);
    std::map<std::string, CameraReading> seen;
    for (CameraReading& r : ReadingsOf(result.cameras))
        seen.emplace(r.mac, std::move(r));
    return seen;
}

}  // namespace orvane::batch
