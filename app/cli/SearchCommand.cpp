#include "app/cli/CliCommands.h"
#include "app/cli/FirewallHint.h"

#include "discovery/CameraListing.h"
#include "discovery/SearchExchange.h"
#include "platform/NetworkInterfaces.h"
#include "platform/ProtocolTiming.h"

#include <cstdio>
#include <cstring>

namespace orvane::cli {
namespace {

bool CheckInterfaces(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const std::string why = WhyNotSearchInterface(name);
        if (!why.empty()) {
            std::fprintf(stderr, "orvane-cli: cannot search on interface '%s': %s\n", name.c_str(), why.c_str());
            return false;
        }
    }
    return true;
}

// A link that failed while another carried the request is worth a line, not a failure.
void TellFailedSends(const SearchReport& report)
{
    for (const InterfaceSend& send : report.sends) {
        if (send.error != 0)
            std::fprintf(stderr, "orvane-cli: the search request did not go out on %s: %s\n", send.name.c_str(),
                         std::strerror(send.error));
    }
}

std::string Format(const std::vector<ListedCamera>& cameras, ListFormat format)
{
    switch (format) {
    case ListFormat::Csv:
        return FormatCamerasCsv(cameras);
    case ListFormat::Json:
        return FormatCamerasJson(cameras);
    case ListFormat::Tsv:
        break;
    }
    return FormatCamerasTsv(cameras);
}

}  // namespace

int SearchOnce(const std::vector<std::string>& interfaces)
{
    if (!CheckInterfaces(interfaces))
        return kExitUsage;
    if (!InitSearchSocket()) {
        std::fprintf(stderr, "orvane-cli: cannot set up the search socket on UDP port 10088 "
                             "(another search may be using it)\n");
        return kExitFailed;
    }
    SearchExchange& exchange = TheSearchExchange();
    exchange.limitTo(interfaces);
    const bool sent = exchange.search();
    const SearchReport& report = exchange.lastReport();
    if (!sent) {
        std::fprintf(stderr, "orvane-cli: the search request could not be sent on any network interface "
                             "(tried: %s)\n", report.describeTries().c_str());
        return kExitFailed;
    }
    TellFailedSends(report);
    if (report.cutShort)
        std::fprintf(stderr, "orvane-cli: the search stopped at its %d s bound while answers still came; "
                             "cameras may be missing from the list\n", CurrentProtocolTiming().searchLongest_ms / 1000);
    return kExitOk;
}

int RunSearch(const SearchOptions& options)
{
    if (const int failed = SearchOnce(options.interfaces); failed != kExitOk)
        return failed;
    PrintFirewallHintIfSilent(TheCameraDirectory().size());
    const std::string text = Format(ListCameras(TheCameraDirectory()), options.format);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

}  // namespace orvane::cli
