// orvane-cli apply: a site plan (the list's own CSV) checked against a
// search and applied camera by camera, every change read back.

#include "app/cli/BatchLoop.h"
#include "app/cli/CliCommands.h"

#include "discovery/CameraListing.h"
#include "discovery/SearchExchange.h"
#include "fleet/PlanSteps.h"
#include "fleet/SitePlan.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace orvane::cli {
namespace {

using batch::CameraProgress;
using batch::Outcome;
using fleet::CameraWork;

struct ResultRow {
    std::string ip, mac, field, from, to;
    const char* outcome = nullptr;  // none in a dry run
    std::string message;
};

// One row per camera and field in address order; a dry run only the
// changes, a camera not found one row with its plan's address.
std::vector<ResultRow> Rows(const std::vector<CameraWork>& cameras, const std::vector<CameraProgress>* outcome)
{
    std::vector<ResultRow> rows;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const CameraWork& c = cameras[i];
        if (!c.found) {
            rows.push_back({c.plannedIp, c.mac, "", "", "", outcome ? "not-found" : nullptr, ""});
            continue;
        }
        const std::vector<fleet::FieldResult> results =
            outcome ? fleet::FieldResults(c, (*outcome)[i]) : std::vector<fleet::FieldResult>();
        for (size_t f = 0; f < c.fields.size(); ++f) {
            const fleet::FieldChange& change = c.fields[f];
            if (!outcome && !change.needed())
                continue;
            ResultRow row{c.now.ip, c.mac, fleet::PlanFieldName(change.field), change.from, change.to, nullptr, ""};
            if (outcome) {
                const fleet::FieldResult& r = results[f];
                row.outcome = batch::OutcomeWord(r.outcome);
                row.message = r.message;
            }
            rows.push_back(row);
        }
    }
    return rows;
}

void Print(const std::vector<ResultRow>& rows, bool json)
{
    if (!json) {
        for (const ResultRow& r : rows) {
            std::printf("%s\t%s\t%s\t%s\t%s", r.ip.c_str(), r.mac.c_str(), r.field.c_str(), r.from.c_str(), r.to.c_str());
            if (r.outcome)
                std::printf("\t%s", r.outcome);
            std::printf("\n");
        }
        return;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ResultRow& r : rows) {
        nlohmann::ordered_json row = {{"ip", Utf8OrLatin1(r.ip)},     {"mac", r.mac},
                                      {"field", r.field},             {"from", Utf8OrLatin1(r.from)},
                                      {"to", Utf8OrLatin1(r.to)}};
        if (r.outcome)
            row["outcome"] = r.outcome;
        if (!r.message.empty())
            row["message"] = Utf8OrLatin1(r.message);
        list.push_back(row);
    }
    std::printf("%s\n", list.dump(2).c_str());
}

// A line on stderr for each field as it gets its outcome.
class OutcomeLines {
public:
    OutcomeLines(const batch::BatchRun& run, const std::vector<CameraWork>& cameras)
        : run_(run), cameras_(cameras), told_(cameras.size())
    {
    }

    void update()
    {
        const std::vector<CameraProgress> now = run_.snapshot();
        for (size_t i = 0; i < now.size(); ++i) {
            const CameraWork& c = cameras_[i];
            const std::vector<fleet::FieldResult> results = fleet::FieldResults(c, now[i]);
            told_[i].resize(results.size(), false);
            for (size_t f = 0; f < results.size(); ++f) {
                const fleet::FieldResult& r = results[f];
                if (told_[i][f] || !c.fields[f].needed() || !batch::Decided(r.outcome))
                    continue;
                told_[i][f] = true;
                std::fprintf(stderr, "apply: %s %s %s %s%s%s\n", c.now.ip.c_str(), c.mac.c_str(),
                             fleet::PlanFieldName(c.fields[f].field), batch::OutcomeWord(r.outcome),
                             r.message.empty() ? "" : ": ", r.message.c_str());
            }
        }
    }

private:
    const batch::BatchRun& run_;
    const std::vector<CameraWork>& cameras_;
    std::vector<std::vector<bool>> told_;
};

bool ReadsAsPlanned(const std::vector<CameraWork>& cameras, const std::vector<CameraProgress>& outcome)
{
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (!cameras[i].found)
            return false;
        for (const fleet::FieldResult& r : fleet::FieldResults(cameras[i], outcome[i])) {
            if (r.outcome != Outcome::Applied && r.outcome != Outcome::Unchanged)
                return false;
        }
    }
    return true;
}

fleet::CheckedPlan CheckedAgainstSearch(const fleet::PlanFile& file, const SearchResult& found)
{
    return fleet::CheckPlan(file, {fleet::ReadingsOf(found.cameras), ListOwnAddresses(), ListSearchInterfaces()});
}

}  // namespace

int RunApply(const ApplyOptions& options)
{
    SearchRequest request;
    if (const int refused = MakeSearchRequest(options.interfaces, options.targets, request); refused != kExitOk)
        return refused;
    const fleet::PlanFile file = fleet::ReadPlanFile(options.plan);
    // Without a search the file's own problems are still worth telling.
    SearchResult found;
    const int searched = SearchOnce(request, found);
    fleet::CheckedPlan plan = searched == kExitOk ? CheckedAgainstSearch(file, found) : fleet::CheckPlan(file, {});
    if (searched != kExitOk && file.problems.empty())
        return searched;
    if (!plan.accepted()) {
        std::fprintf(stderr, "orvane-cli: the plan %s is refused, nothing was sent:\n", options.plan.c_str());
        for (const fleet::PlanProblem& problem : searched == kExitOk ? plan.problems : file.problems)
            std::fprintf(stderr, "  %s\n", fleet::DescribeProblem(problem).c_str());
        return kExitUsage;
    }
    const bool allFound = std::all_of(plan.cameras.begin(), plan.cameras.end(), [](const CameraWork& c) { return c.found; });
    if (options.dryRun) {
        Print(Rows(plan.cameras, nullptr), options.json);
        return allFound ? kExitOk : kExitFailed;
    }
    batch::ReadingWatch watch(TheSearchExchange(), request);
    batch::BatchOptions runOptions;
    runOptions.jobs = options.jobs;
    runOptions.wait = std::chrono::seconds(options.wait_s);
    runOptions.searchPause = fleet::kPlanSearchPause;
    batch::BatchRun run(fleet::PlanBatch(plan.cameras), runOptions, watch);
    OutcomeLines lines(run, plan.cameras);
    const bool interrupted = RunBatchToTheEnd(run, [&](bool) { lines.update(); });
    const std::vector<CameraProgress> outcome = run.snapshot();
    Print(Rows(plan.cameras, &outcome), options.json);
    if (interrupted)
        return kExitInterrupted;
    return ReadsAsPlanned(plan.cameras, outcome) ? kExitOk : kExitFailed;
}

}  // namespace orvane::cli
