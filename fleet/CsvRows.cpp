#include "fleet/CsvRows.h"

#include <csv.h>

namespace orvane::fleet {
namespace {

// Spaces belong to the cell: an exported UID may begin or end with one.
int NoSpace(unsigned char) { return 0; }

class Reader {
public:
    Reader() { open(); }
    ~Reader() { csv_free(&parser_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    void feed(std::string_view chunk, int line)
    {
        line_ = line;
        if (csv_parse(&parser_, chunk.data(), chunk.size(), OnCell, OnRowEnd, this) == chunk.size())
            return;
        // The rest of the line cannot be read: drop the row and start afresh.
        result_.brokenLines.push_back(line);
        restart();
    }

    CsvRows finish()
    {
        if (csv_fini(&parser_, OnCell, OnRowEnd, this) != 0)
            result_.brokenLines.push_back(line_);
        return std::move(result_);
    }

private:
    void open()
    {
        csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL);
        csv_set_space_func(&parser_, NoSpace);
    }

    void restart()
    {
        csv_free(&parser_);
        open();
        row_ = {};
    }

    static void OnCell(void* bytes, size_t length, void* self)
    {
        Reader& r = *static_cast<Reader*>(self);
        if (r.row_.cells.empty())
            r.row_.line = r.line_;
        r.row_.cells.emplace_back(bytes ? static_cast<const char*>(bytes) : "", length);
    }

    static void OnRowEnd(int, void* self)
    {
        Reader& r = *static_cast<Reader*>(self);
        if (r.row_.cells.empty())
            r.row_.line = r.line_;
        r.result_.rows.push_back(std::move(r.row_));
        r.row_ = {};
    }

    csv_parser parser_{};
    int line_ = 1;
    CsvRow row_;
    CsvRows result_;
};

}  // namespace

CsvRows ReadCsvRows(std::string_view text)
{
    Reader reader;
    int line = 1;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const size_t length = end == std::string_view::npos ? text.size() : end + 1;
        reader.feed(text.substr(0, length), line++);
        text.remove_prefix(length);
    }
    return reader.finish();
}

}  // namespace orvane::fleet
