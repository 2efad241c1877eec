// Work on many cameras at once: upgrade, and assign addresses. Both start
// with a search, run the same operations as the single-camera commands, and
// watch the cameras come back with repeated searches.

#include "app/cli/BatchLoop.h"
#include "app/cli/CliCommands.h"
#include "app/cli/FleetProgressView.h"

#include "control/SettingFields.h"
#include "discovery/CameraListing.h"
#include "discovery/SearchExchange.h"
#include "fleet/AddressPlanner.h"
#include "fleet/CameraChoice.h"
#include "fleet/FleetSteps.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace orvane::cli {
namespace {

using batch::CameraProgress;
using batch::Outcome;
using fleet::FleetCamera;

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
bool RunToTheEnd(batch::BatchRun& run, const char* verb)
{
    FleetProgressView view(verb, stderr);
    return RunBatchToTheEnd(run, [&](bool last) { view.update(run, last); });
}

void TellFailures(const batch::BatchRun& run, const std::vector<CameraProgress>& outcome)
{
    for (size_t i = 0; i < outcome.size(); ++i) {
        if (outcome[i].outcome() == Outcome::Failed && !outcome[i].steps[0].message.empty())
            std::fprintf(stderr, "%s: %s\n", run.cameras()[i].ip.c_str(), outcome[i].steps[0].message.c_str());
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

void PrintUpgradeSummary(const std::vector<FleetCamera>& cameras, const std::vector<CameraProgress>& outcome, bool json)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (size_t i : AddressOrder(cameras)) {
        const FleetCamera& c = cameras[i];
        const CameraProgress& p = outcome[i];
        const bool replied = !p.steps.empty() && p.steps[0].result.has_value();
        const int reply = replied ? *p.steps[0].result : 0;
        const std::optional<std::string> newVersion = fleet::NewVersion(p);
        const bool found = p.outcome() != Outcome::NotFound;
        if (json) {
            rows.push_back({{"ip", TextOrNull(c.ip, !c.ip.empty())},
                            {"mac", c.mac},
                            {"old_version", TextOrNull(c.oldVersion, found)},
                            {"result", replied ? nlohmann::ordered_json(reply) : nlohmann::ordered_json(nullptr)},
                            {"new_version", TextOrNull(newVersion.value_or(""), newVersion.has_value())},
                            {"outcome", batch::OutcomeWord(p.outcome())}});
            continue;
        }
        const std::string resultText = replied ? std::to_string(reply) : "";
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", c.ip.c_str(), c.mac.c_str(), c.oldVersion.c_str(), resultText.c_str(),
                    newVersion.value_or("").c_str(), batch::OutcomeWord(p.outcome()));
    }
    if (json)
        std::printf("%s\n", rows.dump(2).c_str());
}

void PrintAssignSummary(const std::vector<FleetCamera>& cameras, const std::vector<CameraProgress>* outcome, bool json)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (size_t i : AddressOrder(cameras)) {
        const FleetCamera& c = cameras[i];
        const char* word = outcome ? batch::OutcomeWord((*outcome)[i].outcome()) : nullptr;
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
    return std::all_of(outcome.begin(), outcome.end(), [&](const CameraProgress& p) { return p.outcome() == wanted; });
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

batch::BatchOptions BatchOptions(const FleetOptions& options)
{
    batch::BatchOptions batch;
    batch.jobs = options.jobs;
    batch.wait = std::chrono::seconds(options.wait_s);
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
    const std::vector<FleetCamera> chosen = fleet::ChooseCameras(options.cameras, options.all, found);
    batch::ReadingWatch watch(TheSearchExchange(), request);
    batch::BatchRun run(fleet::UpgradeBatch(chosen, file), BatchOptions(options), watch);
    const bool interrupted = RunToTheEnd(run, "upgrade");
    const std::vector<CameraProgress> outcome = run.snapshot();
    TellFailures(run, outcome);
    PrintUpgradeSummary(chosen, outcome, options.json);
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
    batch::ReadingWatch watch(TheSearchExchange(), request);
    batch::BatchRun run(fleet::AddressBatch(plan.cameras), BatchOptions(options), watch);
    const bool interrupted = RunToTheEnd(run, "assign-ips");
    const std::vector<CameraProgress> outcome = run.snapshot();
    TellFailures(run, outcome);
    PrintAssignSummary(plan.cameras, &outcome, options.json);
    if (interrupted)
        return kExitInterrupted;
    return !outcome.empty() && AllEndedAs(outcome, Outcome::Moved) ? kExitOk : kExitFailed;
}

}  // namespace orvane::cli
