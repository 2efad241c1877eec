#pragma once
// The rows of a CSV text as RFC 4180 has them: fields separated by commas,
// rows by CR LF or LF, a field in double quotes may hold commas, quotes
// (doubled) and line breaks. Cells are bytes, spaces included; blank lines
// are no rows. A row whose quoting is broken is reported by its line and
// reading goes on at the next line.

#include <string>
#include <string_view>
#include <vector>

namespace orvane::fleet {

struct CsvRow {
    int line = 0;  // 1-based, the line on which the row's first cell ends
    std::vector<std::string> cells;
};

struct CsvRows {
    std::vector<CsvRow> rows;
    std::vector<int> brokenLines;  // lines whose quoting cannot be read
};

CsvRows ReadCsvRows(std::string_view text);

}  // namespace orvane::fleet
