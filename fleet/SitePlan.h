#pragma once
// A plan held against what the cameras answer: each row matched to the
// camera that answers with its MAC, the problems only a search can show (an
// address another camera answers from, one outside the camera's link), and
// each camera's fields as they are and as they must be.

#include "batch/CameraReading.h"
#include "fleet/PlanFile.h"
#include "net/NetworkInterfaces.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvane::fleet {

using batch::CameraReading;
using batch::ReadingsOf;

// The field's value in a reading, as the list shows it.
std::string FieldText(const CameraReading& reading, PlanField field);

struct FieldChange {
    PlanField field = PlanField::Version;
    std::string from;  // what the camera answers with now
    std::string to;    // what the plan wants
    bool needed() const { return from != to; }
};

struct CameraWork {
    int line = 0;
    std::string mac;
    bool found = false;
    CameraReading now;                 // found only
    std::string plannedIp;             // the row's ip, for a camera not found
    std::vector<FieldChange> fields;   // the row's non-empty fields, in PlanField order
    std::string firmware;
    int x = 0;                         // what an X/Y change sends: the planned value
    int y = 0;                         // or the camera's own
};

struct CheckedPlan {
    std::vector<CameraWork> cameras;    // in address order, cameras not found first
    std::vector<PlanProblem> problems;  // the file's and the search's, in line order
    bool accepted() const { return problems.empty(); }
};

struct SiteView {
    std::vector<CameraReading> found;
    std::vector<uint32_t> ownAddresses;
    std::vector<NetworkInterface> interfaces;
};

CheckedPlan CheckPlan(const PlanFile& file, const SiteView& site);

// The numeric order of dotted-decimal addresses; anything else first.
uint32_t AddressSortKey(const std::string& ip);

}  // namespace orvane::fleet
