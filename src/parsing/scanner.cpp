#include "parsing/scanner.h"

#include <cstddef>
#include <cstring>
#include <limits>

#include "parsing/amount.h"
#include "parsing/euc_sjis.h"

namespace {

// Markup strings of the results page, matched anywhere in the raw line.
constexpr char NameLineMarker[] = "<FONT size=";
constexpr char TableStartMarker[] =
    "<TABLE WIDTH=\"100%\" BORDER=\"0\" CELLSPACING=\"1\" CELLPADDING=\"2\">";
constexpr char HeaderCellMarker[] = "<TD BGCOLOR=\"#ffffff\" WIDTH=\"20%\" ALIGN=\"CENTER\">";
constexpr char HeaderCellEnd[] = "</TD>";
constexpr char LabelCellMarker[] = "<TD BGCOLOR=\"#ffffff\" NOWRAP VALIGN=\"TOP\">";
constexpr char BodyOpeningMarker[] =
    "<TD BGCOLOR=\"#ffffff\" NOWRAP ALIGN=\"RIGHT\" VALIGN=\"TOP\">";
constexpr char ValueCellMarker[] = "<TD BGCOLOR=\"#ffffff\" NOWRAP ALIGN=\"RIGHT\" VALIGN=\"TOP\"";
constexpr char TableEndMarker[] = "</TABLE>";
constexpr char Tag = '<';

static_assert(sizeof NameLineMarker - 1 == 11);
static_assert(sizeof TableStartMarker - 1 == 63);
static_assert(sizeof HeaderCellMarker - 1 == 49);
static_assert(sizeof LabelCellMarker - 1 == 42);
static_assert(sizeof BodyOpeningMarker - 1 == 56);
static_assert(sizeof ValueCellMarker - 1 == 55);

// The name's text starts at this byte of the name line.
constexpr size_t NameOffset = 20;
// Shift_JIS full-width parentheses around the text that follows the name.
constexpr char OpenParenthesis[] = "\x81\x69";   // （
constexpr char CloseParenthesis[] = "\x81\x6A";  // ）

constexpr int32_t LayoutFailed = -1;  // a layout the scanner cannot follow

bool contains(const char* line, const char* marker) { return strstr(line, marker) != nullptr; }

ScanVerdict go_on() { return ScanVerdict{false, 0}; }
ScanVerdict stop_with(int32_t result) { return ScanVerdict{true, result}; }

// a + b for non-negative b, held at the 32-bit maximum instead of overflowing.
int32_t add_saturating(int32_t a, int32_t b) {
  if (a > std::numeric_limits<int32_t>::max() - b) return std::numeric_limits<int32_t>::max();
  return a + b;
}

// The name line: its text from NameOffset must hold "（", and after it "）". The name is the
// converted text before "（"; when that is longer than CompanyName holds, it is cut to fit
// without splitting a unit.
ScanVerdict take_name(ResultsScanner* scanner, const char* line) {
  const char* source = strlen(line) > NameOffset ? line + NameOffset : "";
  euc_to_sjis_bounded(source, scanner->name_text, sizeof scanner->name_text);
  const char* open = strstr(scanner->name_text, OpenParenthesis);
  if (open == nullptr) return stop_with(LayoutFailed);
  const auto open_at = static_cast<size_t>(open - scanner->name_text);
  char* name = scanner->name->text;
  if (open_at < sizeof scanner->name->text) {
    memcpy(name, scanner->name_text, open_at);
    name[open_at] = '\0';
  } else {
    euc_to_sjis_bounded(source, name, sizeof scanner->name->text);
  }
  if (strstr(open + strlen(OpenParenthesis), CloseParenthesis) == nullptr) {
    return stop_with(LayoutFailed);
  }
  return go_on();
}

// Stores the text of one value line as item of the record of column (1..MaxPeriods). Items
// beyond the list and the one whose value is not kept are read and the value dropped; a
// period of 0 months stops the page.
ScanVerdict store_value(ResultsScanner* scanner, int32_t number) {
  PeriodRecord* record = &scanner->table->period[scanner->column - 1];
  const char* text = scanner->cell_text;
  if (number < 1 || number > ItemCount) {
    (void)parse_amount(text);
    return go_on();
  }
  const ReportItem& item = report_item(number);
  if (item.date != nullptr) {
    parse_period_date(text, &(record->*item.date));
  } else if (item.count != nullptr) {
    record->*item.count = truncate_to_int32(parse_amount(text));
    if (item.count == &PeriodRecord::months && record->months == 0) return stop_with(0);
  } else if (item.amount != nullptr) {
    record->*item.amount = parse_amount(text);
  } else {
    (void)parse_amount(text);
  }
  return go_on();
}

// A value line in the body: the text before the first tag is one item of the current cell.
ScanVerdict take_value_line(ResultsScanner* scanner, const char* line, const char* tag) {
  const auto length = static_cast<size_t>(tag - line);
  if (length == 0) return go_on();
  euc_to_sjis_bounded(line, length, scanner->cell_text, sizeof scanner->cell_text);
  ScanVerdict verdict = go_on();
  // Label text (column 0) and columns beyond the table take item numbers but are not stored.
  if (scanner->column >= 1 && scanner->column <= MaxPeriods) {
    verdict = store_value(scanner, add_saturating(scanner->row_base, scanner->line_in_cell));
  }
  scanner->line_in_cell = add_saturating(scanner->line_in_cell, 1);
  return verdict;
}

ScanVerdict scan_before_table(ResultsScanner* scanner, const char* line) {
  if (contains(line, NameLineMarker)) return take_name(scanner, line);
  if (contains(line, TableStartMarker)) scanner->scan_state = ScanState::HeaderRow;
  return go_on();
}

ScanVerdict scan_header_row(ResultsScanner* scanner, const char* line) {
  if (contains(line, HeaderCellMarker)) {
    // The header cell opens the line and ends on it: its end is looked for after the marker's
    // length, wherever the marker stands.
    const size_t from = sizeof HeaderCellMarker - 1;
    if (strlen(line) < from || !contains(line + from, HeaderCellEnd)) {
      return stop_with(LayoutFailed);
    }
    scanner->period_count = add_saturating(scanner->period_count, 1);
  } else if (contains(line, LabelCellMarker)) {
    scanner->row_base = add_saturating(scanner->row_base, 1);
    scanner->line_in_cell = 0;
    scanner->scan_state = ScanState::RowLabel;
  }
  return go_on();
}

ScanVerdict scan_row_label(ResultsScanner* scanner, const char* line) {
  if (contains(line, BodyOpeningMarker)) {
    scanner->scan_state = ScanState::RowValues;
    scanner->column = 1;
    scanner->line_in_cell = 0;
  }
  return go_on();
}

ScanVerdict scan_row_values(ResultsScanner* scanner, const char* line) {
  if (contains(line, ValueCellMarker)) {
    scanner->column = add_saturating(scanner->column, 1);
    scanner->line_in_cell = 0;
    return go_on();
  }
  if (contains(line, LabelCellMarker)) {
    scanner->row_base = add_saturating(scanner->row_base, scanner->line_in_cell);
    scanner->column = 0;
    scanner->line_in_cell = 0;
    return go_on();
  }
  if (contains(line, TableEndMarker)) return stop_with(scanner->period_count);
  if (const char* tag = strchr(line, Tag)) return take_value_line(scanner, line, tag);
  return go_on();
}

}  // namespace

void start_scanner(ResultsScanner* scanner, PeriodTable* table, CompanyName* name) {
  scanner->scan_state = ScanState::BeforeTable;
  scanner->period_count = 0;
  scanner->row_base = 0;
  scanner->line_in_cell = 0;
  scanner->column = 0;
  scanner->table = table;
  scanner->name = name;
  scanner->name_text[0] = '\0';
  scanner->cell_text[0] = '\0';
}

ScanVerdict feed_line(ResultsScanner* scanner, const char* line) {
  switch (scanner->scan_state) {
    case ScanState::BeforeTable:
      return scan_before_table(scanner, line);
    case ScanState::HeaderRow:
      return scan_header_row(scanner, line);
    case ScanState::RowLabel:
      return scan_row_label(scanner, line);
    case ScanState::RowValues:
      return scan_row_values(scanner, line);
  }
  return go_on();
}

int32_t period_count(const ResultsScanner* scanner) { return scanner->period_count; }
