#pragma once

// The table's rows: one per company and period, as CSV, TSV or JSON Lines.

#include <string>

#include "tidy/block.h"

namespace tidy {

enum class Format { Csv, Tsv, Jsonl, Xlsx };
enum class Encoding { Utf8, Utf8Bom, Cp932 };
enum class Header { En, Ja, None };

constexpr int ColumnCount = 3 + ItemCount;

// Column 0..ColumnCount-1's name: code, name, period, then one per item of the report.
const char* column_name(int column);

// Column's heading in the encoding's text: its name (en) or the report's Japanese label (ja).
std::string column_heading(int column, Header header, Encoding encoding = Encoding::Utf8);

// Appends a printed year/month (2024/3) as 2024-03 or year/month/day (2025/2/10) as 2025-02-10
// when it is a calendar date of years 1..9999; false, with nothing appended, when it is not.
bool append_date(std::string& out, std::string_view printed, bool with_day);

// Appends what comes before the rows: the byte-order mark of utf-8-bom, and for CSV and TSV the
// header line.
void append_start(std::string& out, Format format, Encoding encoding, Header header);

// Appends the block's rows.
void append_rows(std::string& out, const Block& block, Format format, Encoding encoding);

}  // namespace tidy
