#pragma once

// The table's rows: one per company and period, as CSV, TSV or JSON Lines.

#include <array>
#include <string>
#include <string_view>

#include "tidy/block.h"

namespace tidy {

enum class Format { Csv, Tsv, Jsonl, Xlsx };
enum class Encoding { Utf8, Utf8Bom, Cp932 };
enum class Header { En, Ja, None };

constexpr int ColumnCount = 3 + ItemCount;

// The number of columns: code, name, period, then one per item of the report; in a history,
// sweep and revised in place of period.
int column_count(bool history);

// Column 0..column_count(history)-1's name.
const char* column_name(int column, bool history = false);

// Column's heading in UTF-8: its name (en) or the report's Japanese label (ja).
std::string column_heading(int column, Header header, bool history = false);

// Appends what comes before the rows: the byte-order mark of utf-8-bom, and for CSV and TSV the
// header line; a history's has sweep and revised in place of period.
void append_start(std::string& out, Format format, Encoding encoding, Header header,
                  bool history = false);

// Appends the block's rows.
void append_rows(std::string& out, const Block& block, Format format, Encoding encoding);

// Items 1..23 of one period, as printed.
using Fields = std::array<std::string_view, ItemCount>;

// Appends a history's row: name in Shift_JIS, sweep (a file name) in UTF-8, revised a count or
// empty.
void append_history_row(std::string& out, std::string_view code, std::string_view name,
                        std::string_view sweep, std::string_view revised, const Fields& fields,
                        Format format, Encoding encoding);

// A printed year/month as year * 100 + month, or with_day year/month/day as
// (year * 100 + month) * 100 + day; -1 when it is not a calendar date of years 1..9999.
long long calendar_value(std::string_view printed, bool with_day);

// Appends a printed year/month (2024/3) as 2024-03 or year/month/day (2025/2/10) as 2025-02-10
// when it is a calendar date of years 1..9999; false, with nothing appended, when it is not.
bool append_date(std::string& out, std::string_view printed, bool with_day);

}  // namespace tidy
