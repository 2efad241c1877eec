#include "app/cli/CliCommands.h"
#include "app/cli/FirewallHint.h"
#include "app/cli/SearchExplain.h"

#include "discovery/CameraListing.h"
#include "discovery/SearchAnswer.h"
#include "discovery/SearchExchange.h"
#include "diagnosis/AnswerTap.h"
#include "net/NetworkInterfaces.h"
#include "process/ProtocolTiming.h"

#include <cstdio>
#include <cstring>
#include <optional>

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
    for (const InterfaceReport& send : report.interfaces) {
        if (send.broadcast && send.error != 0)
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

int MakeSearchRequest(const std::vector<std::string>& interfaces, const std::vector<std::string>& targets,
                      SearchRequest& request)
{
    if (!CheckInterfaces(interfaces))
        return kExitUsage;
    request.interfaces = interfaces;
    for (const std::string& text : targets) {
        std::string why;
        if (!ParseSearchTargets(text, request.targets, why)) {
            std::fprintf(stderr, "orvane-cli: --target: %s\n", why.c_str());
            return kExitUsage;
        }
    }
    return kExitOk;
}

int SearchOnce(const SearchRequest& request, SearchResult& result)
{
    if (!TheSearchExchange().ready() && !InitSearchSocket()) {
        std::fprintf(stderr, "orvane-cli: cannot set up the search socket on UDP port 10088 "
                             "(another search may be using it)\n");
        return kExitFailed;
    }
    result = TheSearchExchange().search(request);
    const SearchReport& report = result.report;
    if (!result.sent()) {
        std::fprintf(stderr, "orvane-cli: the search request could not be sent on any network interface "
                             "(tried: %s)\n", report.describeTries().c_str());
        return kExitFailed;
    }
    TellFailedSends(report);
    if (report.targetFailures > 0)
        std::fprintf(stderr, "orvane-cli: %d unicast search requests did not go out: %s\n", report.targetFailures,
                     std::strerror(report.targetError));
    if (report.cutShort)
        std::fprintf(stderr, "orvane-cli: the search stopped at its %d s bound while answers still came; "
                             "cameras may be missing from the list\n", CurrentProtocolTiming().searchLongest_ms / 1000);
    return kExitOk;
}

int RunSearch(const SearchOptions& options)
{
    SearchRequest request;
    if (const int refused = MakeSearchRequest(options.interfaces, options.targets, request); refused != kExitOk)
        return refused;
    // Opened before the search, so that it hears the answers as they arrive.
    std::optional<AnswerTap> tap;
    if (options.explain)
        tap.emplace(kSearchLocalPort);
    SearchResult result;
    if (const int failed = SearchOnce(request, result); failed != kExitOk) {
        if (options.explain)
            std::fputs(ExplainBusyPort().c_str(), stderr);
        return failed;
    }
    PrintFirewallHintIfSilent(result.cameras.size());
    std::string text = Format(ListCameras(result.cameras), options.format);
    if (!options.explain) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kExitOk;
    }
    const std::vector<TappedDatagram> tapped = tap->listening() ? tap->drain() : std::vector<TappedDatagram>{};
    const nlohmann::json explained = ExplainSearch(request, result, tap->listening() ? &tapped : nullptr);
    if (options.format == ListFormat::Json)
        text = nlohmann::json{{"cameras", nlohmann::json::parse(text)}, {"explain", explained}}.dump(2) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    std::fputs(ExplainText(explained).c_str(), stderr);
    return kExitOk;
}

}  // namespace orvane::cli
