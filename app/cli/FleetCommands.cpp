// Work on many cameras at once: upgrade, and assign addresses. Both start
// with a search, run the same operations as the single-camera commands, and
// watch the cameras come back with repeated searches.

#include "app/cli/CliCommands.h"
#include "app/cli/FleetProgressView.h"
#include "app/cli/InterruptCatcher.h"

#include "control/SettingFields.h"
#include "discovery/CameraListing.h"
#include "discovery/SearchExchange.h"
#include "fleet/AddressPlanner.h"
#include "fleet/CameraChoice.h"
#include "fleet/FleetActions.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace orvane::cli {
namespace {

using fleet::CameraProgress;
using fleet::FleetCamera;
using fleet::Outcome;

constexpr int kExitInterrupted = 130;
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

bool CheckTargets(const FleetOptions& options)
{
    if (options.all == !options.cameras.empty()) {
        std::fprintf(stderr, "orvane-cli: name the cameras, or give --all, not both\n");
        return false;
    }
    for (const std::string& camera : options.cameras) {
        uint32_t address = 0;
        if (!IsMacField(camera.c_str()) && !ParseIPv4(camera, address, LeadingZeros::Decimal)) {
            std::fprintf(stderr, "orvane-cli: '%s' is neither an IPv4 address nor a MAC of 12 hexadecimal digits\n",
                         camera.c_str());
            return false;
        }
    }
    return true;
}

uint32_t SortKey(const std::string& ip)
{
    uint32_t address = 0;
    return ParseIPv4(ip, address, LeadingZeros::Decimal) ? address : 0;
}

// Runs the batch until it ends or Ctrl-C stops it; true when interrupted.
bool RunToTheEnd(fleet::FleetRun& run, const char* verb)
{
    InterruptCatcher catcher;
    FleetProgressView view(verb, stderr);
    run.start();
    bool interrupted = false;
    while (!run.waitFor(kRedrawEvery)) {
        if (catcher.requested() && !interrupted) {
            interrupted = true;
            run.cancel();
        }
        view.update(run);
    }
    view.update(run, true);
    return interrupted;
}

void TellFailures(const fleet::FleetRun& run, const std::vector<CameraProgress>& outcome)
{
    for (size_t i = 0; i < outcome.size(); ++i) {
        if (outcome[i].outcome == Outcome::Failed && !outcome[i].message.empty())
            std::fprintf(stderr, "%s: %s\n", run.cameras()[i].ip.c_str(), outcome[i].message.c_str());
    }
}

// Rows of the summary in address order.
std::vector<size_t> AddressOrder(const std::vector<FleetCamera>& cameras)
{
    std::vector<size_t> order(cameras.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return SortKey(cameras[a].ip) < SortKey(cameras[b].ip); });
    return order;
}

nlohmann::ordered_json TextOrNull(const std::string& text, bool known)
{
    return known ? nlohmann::ordered_json(Utf8OrLatin1(text)) : nlohmann::ordered_json(nullptr);
}

void PrintUpgradeSummary(const fleet::FleetRun& run, bool json)
{
    const std::vector<CameraProgress> outcome = run.snapshot();
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (size_t i : AddressOrder(run.cameras())) {
        const FleetCamera& c = run.cameras()[i];
        const CameraProgress& p = outcome[i];
        const bool found = p.outcome != Outcome::NotFound;
        if (json) {
            rows.push_back({{"ip", TextOrNull(c.ip, !c.ip.empty())},
                            {"mac", c.mac},
                            {"old_version", TextOrNull(c.oldVersion, found)},
                            {"result", p.result ? nlohmann::ordered_json(*p.result) : nlohmann::ordered_json(nullptr)},
                            {"new_version", TextOrNull(p.newVersion.value_or(""), p.newVersion.has_value())},
                            {"outcome", fleet::OutcomeWord(p.outcome)}});
            continue;
        }
        const std::string result = p.result ? std::to_string(*p.result) : "";
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", c.ip.c_str(), c.mac.c_str(), c.oldVersion.c_str(), result.c_str(),
                    p.newVersion.value_or("").c_str(), fleet::OutcomeWord(p.outcome));
    }
    if (json)
        std::printf("%s\n", rows.dump(2).c_str());
}

void PrintAssignSummary(const std::vector<FleetCamera>& cameras, const std::vector<CameraProgress>* outcome, bool json)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (size_t i : AddressOrder(cameras)) {
        const FleetCamera& c = cameras[i];
        const char* word = outcome ? fleet::OutcomeWord((*outcome)[i].outcome) : nullptr;
        if (json) {
            nlohmann::ordered_json row = {{"old_ip", TextOrNull(c.ip, !c.ip.empty())}, {"mac", c.mac}, {"new_ip", TextOrNull(c.newIp, !c.newIp.empty())}};
            if (word)
                row["outcome"] = word;
            rows.push_back(row);
        } else if (word) {
            std::printf("%s\t%s\t%s\t%s\n", c.ip.c_str(), c.mac.c_str(), c.newIp.c_str(), word);
        } else {
            std::printf("%s\t%s\t%s\n", c.ip.c_str(), c.mac.c_str(), c.newIp.c_str());
        }
    }
    if (json)
        std::printf("%s\n", rows.dump(2).c_str());
}

bool AllEndedAs(const std::vector<CameraProgress>& outcome, Outcome wanted)
{
    return std::all_of(outcome.begin(), outcome.end(), [&](const CameraProgress& p) { return p.outcome == wanted; });
}

// A file that cannot be read would fail on every camera after connecting to each.
bool Readable(const std::string& file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || ::access(file.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "orvane-cli: cannot read '%s' as a firmware file\n", file.c_str());
        return false;
    }
    return true;
}

fleet::FleetOptions BatchOptions(const FleetOptions& options, fleet::ComebackKind kind)
{
    fleet::FleetOptions batch;
    batch.jobs = options.jobs;
    batch.wait = std::chrono::seconds(options.wait_s);
    batch.kind = kind;
    return batch;
}

}  // namespace

int RunUpgrade(const std::string& file, const FleetOptions& options)
{
    if (!CheckTargets(options))
        return kExitUsage;
    if (!Readable(file))
        return kExitFailed;
    SearchRequest request;
    if (const int refused = MakeSearchRequest(options.interfaces, options.targets, request); refused != kExitOk)
        return refused;
    SearchResult result;
    if (const int failed = SearchOnce(request, result); failed != kExitOk)
        return failed;
    const std::vector<FleetCamera> found = fleet::FoundCameras(result.cameras);
    fleet::ReturnWatch watch(TheSearchExchange(), request);
    fleet::FleetRun run(fleet::ChooseCameras(options.cameras, options.all, found),
                        BatchOptions(options, fleet::ComebackKind::Upgrade), fleet::UpgradeFirmware(file), watch);
    const bool interrupted = RunToTheEnd(run, "upgrade");
    const std::vector<CameraProgress> outcome = run.snapshot();
    TellFailures(run, outcome);
    PrintUpgradeSummary(run, options.json);
    if (interrupted)
        return kExitInterrupted;
    return !outcome.empty() && AllEndedAs(outcome, Outcome::Upgraded) ? kExitOk : kExitFailed;
}

int RunAssignIps(const std::string& first, const FleetOptions& options, bool dryRun)
{
    uint32_t firstAddress = 0;
    if (!CheckTargets(options))
        return kExitUsage;
    if (!ParseIPv4(first, firstAddress, LeadingZeros::Decimal)) {
        std::fprintf(stderr, "orvane-cli: '%s' is not an IPv4 address\n", first.c_str());
        return kExitUsage;
    }
    SearchRequest request;
    if (const int refused = MakeSearchRequest(options.interfaces, options.targets, request); refused != kExitOk)
        return refused;
    SearchResult result;
    if (const int failed = SearchOnce(request, result); failed != kExitOk)
        return failed;
    const std::vector<FleetCamera> found = fleet::FoundCameras(result.cameras);
    const std::vector<FleetCamera> targets = fleet::ChooseCameras(options.cameras, options.all, found);
    const fleet::AddressPlan plan = fleet::PlanChosenCameras(first, targets, found);
    if (!plan.ok) {
        std::fprintf(stderr, "orvane-cli: no addresses assigned: %s\n", plan.error.c_str());
        return kExitFailed;
    }
    if (dryRun) {
        PrintAssignSummary(plan.cameras, nullptr, options.json);
        return kExitOk;
    }
    fleet::ReturnWatch watch(TheSearchExchange(), request);
    fleet::FleetRun run(plan.cameras, BatchOptions(options, fleet::ComebackKind::Address), fleet::AssignAddress(), watch);
    const bool interrupted = RunToTheEnd(run, "assign-ips");
    const std::vector<CameraProgress> outcome = run.snapshot();
    TellFailures(run, outcome);
    PrintAssignSummary(run.cameras(), &outcome, options.json);
    if (interrupted)
        return kExitInterrupted;
    return !outcome.empty() && AllEndedAs(outcome, Outcome::Moved) ? kExitOk : kExitFailed;
}

}  // namespace orvane::cli
