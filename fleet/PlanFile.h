#pragma once
// A site plan as a file: the camera list's own CSV (the columns of the
// export), one row per camera named by its MAC, each cell the value the
// camera must end with, an empty cell "leave as it is". `firmware` names the
// file that brings a camera to its `version`; `id` and `interface` are read
// and ignored, so that an exported list is a plan with nothing to do.
// Reading checks everything the file can tell by itself and keeps every
// problem with its line, so that all are told at once.

#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::fleet {

// The fields a plan sets, in the order a camera gets them: firmware first
// (it may reset the rest), the address last (the camera answers from
// elsewhere after it).
enum class PlanField { Version, Uid, X, Y, KeyId, Ip };

// The word of the list's header: "version", "uid", "x", "y", "keyid", "ip".
const char* PlanFieldName(PlanField field);

struct PlanRow {
    int line = 0;
    std::string mac;  // twelve lower-case hexadecimal digits
    std::optional<std::string> ip;
    std::optional<std::string> uid;
    std::optional<int> x;
    std::optional<int> y;
    std::optional<int> keyId;
    std::optional<std::string> version;
    std::optional<std::string> firmware;  // a path, relative ones from the plan's folder
    // A value out of what the camera takes is a problem only when it is a
    // change: an exported list holds what the cameras answer, whatever it is.
    std::vector<std::pair<PlanField, std::string>> problemsIfChanged;
};

struct PlanProblem {
    int line = 0;  // 0: the file as a whole
    std::string text;
};

struct PlanFile {
    std::vector<PlanRow> rows;
    std::vector<PlanProblem> problems;  // in line order
};

// Reads a plan from its bytes; folder is where relative firmware paths start.
PlanFile ParsePlan(std::string_view text, const std::string& folder);
PlanFile ReadPlanFile(const std::string& path);

// "line 4: ..." or, for the file as a whole, the text alone.
std::string DescribeProblem(const PlanProblem& problem);

}  // namespace orvane::fleet
