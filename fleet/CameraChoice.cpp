#include "fleet/CameraChoice.h"

#include "control/SettingFields.h"

#include <algorithm>
#include <cctype>

namespace orvane::fleet {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

FleetCamera Chosen(const std::string& name, const std::vector<FleetCamera>& found)
{
    const bool mac = IsMacField(name.c_str());
    const std::string key = mac ? Lower(name) : name;
    const auto match = std::find_if(found.begin(), found.end(),
                                    [&](const FleetCamera& c) { return (mac ? c.mac : c.ip) == key; });
    if (match != found.end())
        return *match;
    FleetCamera missing;
    (mac ? missing.mac : missing.ip) = key;
    missing.found = false;
    return missing;
}

}  // namespace

std::vector<FleetCamera> FoundCameras(const CameraDirectory& cameras)
{
    std::vector<FleetCamera> found;
    for (const CameraRecord* r = cameras.head(); r; r = r->next.get())
        found.push_back({r->ip, r->mac, r->version, r->interfaceName, {}, true});
    return found;
}

std::vector<FleetCamera> SearchQuietly(SearchExchange& exchange, const SearchRequest& request)
{
    return FoundCameras(exchange.search(request).cameras);
}

std::vector<FleetCamera> ChooseCameras(const std::vector<std::string>& names, bool all,
                                       const std::vector<FleetCamera>& found)
{
    if (all)
        return found;
    std::vector<FleetCamera> chosen;
    for (const std::string& name : names) {
        FleetCamera camera = Chosen(name, found);
        const bool repeated = std::any_of(chosen.begin(), chosen.end(), [&](const FleetCamera& c) {
            return c.ip == camera.ip && c.mac == camera.mac;
        });
        if (!repeated)
            chosen.push_back(camera);
    }
    return chosen;
}

}  // namespace orvane::fleet
