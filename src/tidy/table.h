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
// How a workbook shows amounts of yen: in yen, thousands or millions (the cell keeps the figure).
enum class Scale { Yen, Thousand, Million };

// What a column holds: text as text; a month or a day as a date; the rest as numbers.
enum class Kind { Text, Month, Day, Number };

struct Column {
  std::string name;   // the en heading and the JSON Lines key
  std::string label;  // the ja heading, UTF-8, without its unit
  Kind kind;
  const char* number_format;  // how a workbook shows it, as an Excel number format; null: General
  Unit unit = Unit::None;
  bool workbook_only = false;  // a column that CSV, TSV and JSON Lines leave out
};

struct Table {
  std::vector<Column> columns;
  std::string sheet;     // a workbook sheet's name, UTF-8 (Japanese)
  std::string sheet_en;  // its name with --header en
  int frozen_columns;    // the columns that stay in view when a sheet scrolls right
  // A workbook's column that shows each row's figures from the column after it to the last as
  // a line (a sparkline); -1: none.
  int sparkline_column = -1;
};

// The column's heading in a workbook: its name (en) or its label with the unit (ja), the
// amounts' unit as scale shows them; in the text formats the heading is the name or the label.
std::string heading(const Column& column, Header header, Scale scale);
// The column's workbook number format, amounts of yen shown at scale.
std::string number_format(const Column& column, Scale scale);

// One cell: text in Shift_JIS or UTF-8; a figure as printed; a date as printed (year/month, or
// year/month/day), empty when it is not a calendar date; or empty.
struct Cell {
  enum class Type : unsigned char { Empty, Sjis, Utf8, Figure, Month, Day };
  Type type = Type::Empty;
  std::string_view text;
  bool marked = false;  // a figure of a period other than 12 months, which a workbook marks
};

inline Cell sjis_cell(std::string_view text) { return {Cell::Type::Sjis, text}; }
inline Cell utf8_cell(std::string_view text) { return {Cell::Type::Utf8, text}; }
// An empty figure is an empty cell.
inline Cell figure_cell(std::string_view text) {
  return {text.empty() ? Cell::Type::Empty : Cell::Type::Figure, text};
}

// Items 1..23 of one period, as printed.
using Fields = std::array<std::string_view, ItemCount>;

// The columns of the items: one per item, and the workbook's fiscal_period after period_end.
constexpr int ItemColumns = ItemCount + 1;

// The table of sweeps: code, name, period (1..3), then the items' columns.
const Table& sweep_table();
// The table of a history: code, name, sweep (a file name) and revised, the items' columns, then
// the split factor and the four per-share items adjusted by it.
const Table& history_table();
constexpr int HistoryItems = 4;  // the history table's first item column
// The place of item 1..23 among the items' columns.
constexpr int item_column(int item) { return item == 1 ? 0 : item; }
// The table of the changes across sweeps: change (restated, listed, gone, renamed), code, name,
// period_end, figure, before, before_sweep, after, after_sweep.
const Table& changes_table();
// A trend sheet of the history table's column figure: code, name, its sparkline, then one column
// per calendar year from first to last.
Table trend_table(const Column& figure, int first, int last, Scale scale);
// The cells of the items' columns, from cells[0] on; fiscal holds the fiscal period's text.
void item_cells(const Fields& fields, std::string& fiscal, Cell* cells);
// The sweep table's row of the block's period 0..block.periods-1, the fiscal period's text in
// fiscal.
void block_cells(const Block& block, int period, std::string& fiscal, std::vector<Cell>& cells);

// A period as Japanese results name it, from its printed end (2025/3) and months: 2025年3月期,
// or 2024年12月期（9か月） for a period of other than 12 months; empty without a calendar date.
std::string fiscal_period(std::string_view period_end, std::string_view months);
// Whether printed months are a period of other than 12 months (0: the page gave none).
bool irregular_period(std::string_view months);

// A printed year/month as year * 100 + month, or with_day year/month/day as
// (year * 100 + month) * 100 + day; -1 when it is not a calendar date of years 1..9999, or is
// the sweep's placeholder for a cell without a date (1900/1, 1900/1/1).
long long calendar_value(std::string_view printed, bool with_day);

// Appends a printed year/month (2024/3) as 2024-03 or year/month/day (2025/2/10) as 2025-02-10
// when calendar_value is one; false, with nothing appended, when it is not.
bool append_date(std::string& out, std::string_view printed, bool with_day);

}  // namespace tidy
