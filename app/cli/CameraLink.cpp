// The link a single-camera command connects through: the one named, or for
// a camera outside every subnet of this machine (a factory address on the
// camera switch), the one the camera answers a quiet search on. Without it
// the connection would follow the default route, often out of the Wi-Fi.

#include "app/cli/CliCommands.h"

#include "net/CameraRoute.h"
#include "net/IPv4.h"
#include "net/NetworkInterfaces.h"

#include <net/if.h>

#include <cstdio>
#include <cstring>

namespace orvane::cli {
namespace {

// The interface camera answers on, empty when it is silent or cannot be asked.
std::string HeardOn(const std::string& camera)
{
    if (!TheSearchExchange().ready() && !InitSearchSocket())
        return {};
    const SearchResult result = TheSearchExchange().search(SearchRequest{});
    for (const CameraRecord* r = result.cameras.head(); r; r = r->next.get()) {
        if (camera == r->ip)
            return r->interfaceName;
    }
    return {};
}

std::string LinkFor(const std::string& camera)
{
    uint32_t address = 0;
    if (!ParseIPv4(camera.c_str(), address) || OnOwnSubnet(address, ListOwnSubnets()))
        return {};
    const std::string link = HeardOn(camera);
    if (!link.empty())
        std::fprintf(stderr, "orvane-cli: %s is outside this machine's subnets; it answered on %s, connecting through %s\n",
                     camera.c_str(), link.c_str(), link.c_str());
    return link;
}

}  // namespace

int RunOverCameraLink(const std::string& camera, const std::string& interfaceName,
                      const std::function<int(const JobContext&)>& body)
{
    if (!interfaceName.empty() && ::if_nametoindex(interfaceName.c_str()) == 0) {
        std::fprintf(stderr, "orvane-cli: --interface: no interface named '%s'\n", interfaceName.c_str());
        return kExitUsage;
    }
    const CameraRoute route(interfaceName.empty() ? LinkFor(camera) : interfaceName, camera);
    const int exit = body(JobContext::Process().through(route.path()));
    if (exit == kExitFailed && !route.advice().empty())
        std::fprintf(stderr, "orvane-cli: %s\n", route.advice().c_str());
    return exit;
}

}  // namespace orvane::cli
