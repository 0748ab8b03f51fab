#pragma once

// A table as its columns and rows of cells, which every output format writes; the tables of a
// sweep and of a history.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "items/items.h"
#include "tidy/block.h"

namespace tidy {

enum class Format { Csv, Tsv, Jsonl, Xlsx };
enum class Encoding { Utf8, Utf8Bom, Cp932 };
enum class Header { En, Ja, None };

// What a column holds: text as text; a month or a day as a date; the rest as numbers.
enum class Kind { Text, Month, Day, Number };

struct Column {
  std::string name;   // the en heading and the JSON Lines key
  std::string label;  // the ja heading, UTF-8
  Kind kind;
  const char* number_format;  // how a workbook shows it, as an Excel number format; null: General
};

struct Table {
  std::vector<Column> columns;
};

// One cell: text in Shift_JIS or UTF-8; a figure as printed; a date as printed (year/month, or
// year/month/day), empty when it is not a calendar date; or empty.
struct Cell {
  enum class Type : unsigned char { Empty, Sjis, Utf8, Figure, Month, Day };
  Type type = Type::Empty;
  std::string_view text;
};

inline Cell sjis_cell(std::string_view text) { return {Cell::Type::Sjis, text}; }
inline Cell utf8_cell(std::string_view text) { return {Cell::Type::Utf8, text}; }
// An empty figure is an empty cell.
inline Cell figure_cell(std::string_view text) {
  return {text.empty() ? Cell::Type::Empty : Cell::Type::Figure, text};
}

// Items 1..23 of one period, as printed.
using Fields = std::array<std::string_view, ItemCount>;

// The table of sweeps: code, name, period (1..3), then one column per item.
const Table& sweep_table();
// The table of a history: code, name, sweep (a file name) and revised, one column per item, then
// the split factor and the four per-share items adjusted by it.
const Table& history_table();
// The cells of items 1..23, from cells[0] on.
void item_cells(const Fields& fields, Cell* cells);
// The sweep table's row of the block's period 0..block.periods-1.
void block_cells(const Block& block, int period, std::vector<Cell>& cells);

// A printed year/month as year * 100 + month, or with_day year/month/day as
// (year * 100 + month) * 100 + day; -1 when it is not a calendar date of years 1..9999.
long long calendar_value(std::string_view printed, bool with_day);

// Appends a printed year/month (2024/3) as 2024-03 or year/month/day (2025/2/10) as 2025-02-10
// when it is a calendar date of years 1..9999; false, with nothing appended, when it is not.
bool append_date(std::string& out, std::string_view printed, bool with_day);

}  // namespace tidy
