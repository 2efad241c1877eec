#include "fleet/ReturnWatch.h"

#include "discovery/CameraDirectory.h"
#include "discovery/SearchExchange.h"
#include "platform/JobScope.h"

namespace orvane::fleet {

std::map<std::string, Sighting> ReturnWatch::search()
{
    {
        // No window hears these searches: they are the batch's, not the list's.
        ScopedJob quiet(JobScope{});
        exchange_.search();
    }
    std::map<std::string, Sighting> seen;
    for (const CameraRecord* r = TheCameraDirectory().head(); r; r = r->next.get())
        seen.emplace(r->mac, Sighting{r->ip, r->version});
    return seen;
}

}  // namespace orvane::fleet
