#include "fleet/PlanFile.h"

#include "control/OpenFile.h"
#include "control/SettingFields.h"
#include "discovery/SearchAnswer.h"
#include "fleet/AddressPlanner.h"
#include "fleet/CsvRows.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>

namespace orvane::fleet {
namespace {

// A camera's answer carries its UID in a 24-byte slot ended by a zero byte:
// a longer UID could never be read back.
constexpr size_t kMaxReadableUid = kAnswerUidSlot - 1;

enum class Column { Id, Ip, Mac, Version, X, Y, Uid, KeyId, Interface, Firmware, Unusable };

const std::map<std::string, Column>& ColumnNames()
{
    static const std::map<std::string, Column> names{
        {"id", Column::Id},   {"ip", Column::Ip},         {"mac", Column::Mac},
        {"version", Column::Version}, {"x", Column::X},   {"y", Column::Y},
        {"uid", Column::Uid}, {"keyid", Column::KeyId},   {"interface", Column::Interface},
        {"firmware", Column::Firmware}};
    return names;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

class PlanReader {
public:
    PlanReader(std::string folder) : folder_(std::move(folder)) {}

    PlanFile read(std::string_view text)
    {
        // Spreadsheet programs put a byte order mark before UTF-8 text.
        if (text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        CsvRows csv = ReadCsvRows(text);
        for (int line : csv.brokenLines)
            problem(line, "the quoting of this line cannot be read");
        if (csv.rows.empty()) {
            problem(0, "the plan has no header row");
        } else {
            // Rows are checked even under a bad header: every problem is told at once.
            readHeader(csv.rows.front());
            for (size_t i = 1; i < csv.rows.size(); ++i)
                readRow(csv.rows[i]);
        }
        std::stable_sort(plan_.problems.begin(), plan_.problems.end(),
                         [](const PlanProblem& a, const PlanProblem& b) { return a.line < b.line; });
        return std::move(plan_);
    }

private:
    void problem(int line, std::string text) { plan_.problems.push_back({line, std::move(text)}); }

    void readHeader(const CsvRow& header)
    {
        for (const std::string& cell : header.cells) {
            const auto known = ColumnNames().find(Lower(cell));
            Column column = Column::Unusable;
            if (known == ColumnNames().end())
                problem(header.line, "unknown column '" + cell + "'");
            else if (std::find(columns_.begin(), columns_.end(), known->second) != columns_.end())
                problem(header.line, "column '" + cell + "' appears twice");
            else
                column = known->second;
            columns_.push_back(column);
        }
        if (std::find(columns_.begin(), columns_.end(), Column::Mac) == columns_.end())
            problem(header.line, "no mac column: every row names its camera by MAC");
    }

    void readRow(const CsvRow& csv)
    {
        if (csv.cells.size() != columns_.size()) {
            problem(csv.line, std::to_string(csv.cells.size()) + " cells where the header names " +
                                  std::to_string(columns_.size()));
            return;
        }
        PlanRow row;
        row.line = csv.line;
        for (size_t i = 0; i < columns_.size(); ++i)
            readCell(row, columns_[i], csv.cells[i]);
        checkFirmware(row);
        checkRepeats(row);
        plan_.rows.push_back(std::move(row));
    }

    void readCell(PlanRow& row, Column column, const std::string& cell)
    {
        if (column == Column::Mac) {
            row.mac = Lower(cell);
            if (!IsMacField(cell.c_str()))
                problem(row.line, "MAC '" + cell + "' is not twelve hexadecimal digits");
            return;
        }
        if (cell.empty())
            return;  // leave as it is
        switch (column) {
        case Column::Ip: {
            uint32_t address = 0;
            if (!ParseIPv4(cell, address, LeadingZeros::Decimal))
                problem(row.line, "ip '" + cell + "' is not an IPv4 address");
            row.ip = cell;
            break;
        }
        case Column::Uid:
            if (!IsUidField(cell.c_str()) || cell.size() > kMaxReadableUid)
                row.problemsIfChanged.emplace_back(PlanField::Uid, "uid '" + cell + "' is not " +
                                                                       std::to_string(kMinUidLength) + " to " +
                                                                       std::to_string(kMaxReadableUid) + " characters");
            row.uid = cell;
            break;
        case Column::X: row.x = number(row, PlanField::X, cell, kMinX, kMaxX); break;
        case Column::Y: row.y = number(row, PlanField::Y, cell, kMinY, kMaxY); break;
        case Column::KeyId: row.keyId = number(row, PlanField::KeyId, cell, INT32_MIN, INT32_MAX); break;
        case Column::Version: row.version = cell; break;
        case Column::Firmware: row.firmware = cell.front() == '/' ? cell : folder_ + "/" + cell; break;
        case Column::Id:
        case Column::Interface:
        case Column::Unusable:
        case Column::Mac: break;
        }
    }

    std::optional<int> number(PlanRow& row, PlanField field, const std::string& cell, int low, int high)
    {
        const std::string why = std::string(PlanFieldName(field)) + " '" + cell + "' is not a whole number from " +
                                std::to_string(low) + " to " + std::to_string(high);
        int value = 0;
        if (!ParseWholeInt(cell.c_str(), value)) {
            problem(row.line, why);
            return std::nullopt;
        }
        if (value < low || value > high)
            row.problemsIfChanged.emplace_back(field, why);
        return value;
    }

    void checkFirmware(const PlanRow& row)
    {
        if (!row.firmware)
            return;
        if (!row.version)
            problem(row.line, "firmware without a version: the camera's answer could not show that it took");
        if (!OpenForUpload(row.firmware->c_str()))
            problem(row.line, "firmware '" + *row.firmware + "' is not a readable regular file");
    }

    void checkRepeats(const PlanRow& row)
    {
        if (!row.mac.empty()) {
            const auto [at, fresh] = macLines_.emplace(row.mac, row.line);
            if (!fresh)
                problem(row.line, "MAC " + row.mac + " is planned on line " + std::to_string(at->second) + " already");
        }
        if (row.ip) {
            const auto [at, fresh] = ipLines_.emplace(*row.ip, row.line);
            if (!fresh)
                problem(row.line, "ip " + *row.ip + " is given to the camera of line " + std::to_string(at->second) +
                                      " already");
        }
    }

    std::string folder_;
    std::vector<Column> columns_;
    std::map<std::string, int> macLines_;
    std::map<std::string, int> ipLines_;
    PlanFile plan_;
};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

const char* PlanFieldName(PlanField field)
{
    switch (field) {
    case PlanField::Version: return "version";
    case PlanField::Uid: return "uid";
    case PlanField::X: return "x";
    case PlanField::Y: return "y";
    case PlanField::KeyId: return "keyid";
    case PlanField::Ip: return "ip";
    }
    return "";
}

PlanFile ParsePlan(std::string_view text, const std::string& folder)
{
    return PlanReader(folder).read(text);
}

PlanFile ReadPlanFile(const std::string& path)
{
    struct stat status {};
    std::ifstream in;
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        in.open(path, std::ios::binary);
    std::ostringstream bytes;
    if (in.is_open())
        bytes << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        PlanFile none;
        none.problems.push_back({0, "cannot read the plan '" + path + "'"});
        return none;
    }
    return ParsePlan(bytes.str(), FolderOf(path));
}

std::string DescribeProblem(const PlanProblem& problem)
{
    return problem.line > 0 ? "line " + std::to_string(problem.line) + ": " + problem.text : problem.text;
}

}  // namespace orvane::fleet
