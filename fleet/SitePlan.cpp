#include "fleet/SitePlan.h"

#include "discovery/CameraDirectory.h"
#include "fleet/AddressPlanner.h"
#include "fleet/FleetCamera.h"

#include <algorithm>

namespace orvane::fleet {
namespace {

FleetCamera AsFleetCamera(const CameraReading& r) { return {r.ip, r.mac, r.version, r.interfaceName, {}, true}; }

AddressPlanInput AddressRules(const SiteView& site)
{
    AddressPlanInput input;
    for (const CameraReading& r : site.found)
        input.answered.push_back(AsFleetCamera(r));
    input.ownAddresses = site.ownAddresses;
    input.interfaces = site.interfaces;
    return input;
}

std::vector<FieldChange> FieldsOf(const PlanRow& row, const CameraReading& now)
{
    std::vector<FieldChange> fields;
    const auto add = [&](PlanField field, const std::optional<std::string>& to) {
        if (to)
            fields.push_back({field, FieldText(now, field), *to});
    };
    const auto number = [](const std::optional<int>& n) {
        return n ? std::optional<std::string>(std::to_string(*n)) : std::nullopt;
    };
    add(PlanField::Version, row.version);
    add(PlanField::Uid, row.uid);
    add(PlanField::X, number(row.x));
    add(PlanField::Y, number(row.y));
    add(PlanField::KeyId, number(row.keyId));
    add(PlanField::Ip, row.ip);
    return fields;
}

class Checker {
public:
    Checker(const PlanFile& file, const SiteView& site) : file_(file), site_(site), rules_(AddressRules(site)) {}

    CheckedPlan check()
    {
        plan_.problems = file_.problems;
        for (const PlanRow& row : file_.rows)
            plan_.cameras.push_back(work(row));
        std::stable_sort(plan_.problems.begin(), plan_.problems.end(),
                         [](const PlanProblem& a, const PlanProblem& b) { return a.line < b.line; });
        std::stable_sort(plan_.cameras.begin(), plan_.cameras.end(), [](const CameraWork& a, const CameraWork& b) {
            return AddressSortKey(a.found ? a.now.ip : "") < AddressSortKey(b.found ? b.now.ip : "");
        });
        return std::move(plan_);
    }

private:
    CameraWork work(const PlanRow& row)
    {
        CameraWork w;
        w.line = row.line;
        w.mac = row.mac;
        w.plannedIp = row.ip.value_or("");
        w.firmware = row.firmware.value_or("");
        const auto match = std::find_if(site_.found.begin(), site_.found.end(),
                                        [&](const CameraReading& r) { return r.mac == row.mac; });
        if (match == site_.found.end()) {
            for (const auto& [field, why] : row.problemsIfChanged)
                problem(row.line, why);
            checkAddress(row, nullptr);
            return w;
        }
        w.found = true;
        w.now = *match;
        w.fields = FieldsOf(row, w.now);
        for (const auto& [field, why] : row.problemsIfChanged) {
            if (std::any_of(w.fields.begin(), w.fields.end(),
                            [&](const FieldChange& f) { return f.field == field && f.needed(); }))
                problem(row.line, why);
        }
        w.x = row.x.value_or(w.now.x);
        w.y = row.y.value_or(w.now.y);
        if (row.version && *row.version != w.now.version && !row.firmware)
            problem(row.line, "version " + *row.version + " wanted where the camera runs " + w.now.version +
                                  ", and no firmware file to bring it there");
        checkAddress(row, &w.now);
        return w;
    }

    void checkAddress(const PlanRow& row, const CameraReading* now)
    {
        uint32_t address = 0;
        if (!row.ip || !ParseIPv4(*row.ip, address, LeadingZeros::Decimal) || (now && now->ip == *row.ip))
            return;
        FleetCamera camera;
        camera.mac = row.mac;
        if (now)
            camera = AsFleetCamera(*now);
        const std::string why = WhyNotAddress(address, camera, rules_);
        if (!why.empty())
            problem(row.line, why);
    }

    void problem(int line, std::string text) { plan_.problems.push_back({line, std::move(text)}); }

    const PlanFile& file_;
    const SiteView& site_;
    AddressPlanInput rules_;
    CheckedPlan plan_;
};

}  // namespace

std::string FieldText(const CameraReading& reading, PlanField field)
{
    switch (field) {
    case PlanField::Version: return reading.version;
    case PlanField::Uid: return reading.uid;
    case PlanField::X: return std::to_string(reading.x);
    case PlanField::Y: return std::to_string(reading.y);
    case PlanField::KeyId: return std::to_string(reading.keyId);
    case PlanField::Ip: return reading.ip;
    }
    return {};
}

CheckedPlan CheckPlan(const PlanFile& file, const SiteView& site)
{
    return Checker(file, site).check();
}

uint32_t AddressSortKey(const std::string& ip)
{
    uint32_t address = 0;
    return ParseIPv4(ip, address, LeadingZeros::Decimal) ? address : 0;
}

}  // namespace orvane::fleet
