#include "parsing/scanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Markup of the results page, as it stands in the EUC-JP lines.
const std::string NameLinePrefix = "<FONT size=\"+1\"><B> ";  // 20 bytes before the name
const std::string TableStart =
    "<TABLE WIDTH=\"100%\" BORDER=\"0\" CELLSPACING=\"1\" CELLPADDING=\"2\">";
const std::string HeaderCell = "<TD BGCOLOR=\"#ffffff\" WIDTH=\"20%\" ALIGN=\"CENTER\">";
const std::string LabelCell = "<TD BGCOLOR=\"#ffffff\" NOWRAP VALIGN=\"TOP\">";
const std::string ValueCell = "<TD BGCOLOR=\"#ffffff\" NOWRAP ALIGN=\"RIGHT\" VALIGN=\"TOP\">";
// A value cell with one more attribute: it holds the body marker but not the opening one.
const std::string WideValueCell =
    "<TD BGCOLOR=\"#ffffff\" NOWRAP ALIGN=\"RIGHT\" VALIGN=\"TOP\" WIDTH=\"20%\">";
const std::string TableEnd = "</TABLE>";

// EUC-JP texts.
#define NEN "\xC7\xAF"                                     // 年
#define GATSU "\xB7\xEE"                                   // 月
#define NICHI "\xC6\xFC"                                   // 日
#define KI "\xB4\xFC"                                      // 期
#define HYAKU "\xC9\xB4"                                   // 百
#define MAN "\xCB\xFC"                                     // 万
#define SEN "\xC0\xE9"                                     // 千
#define EN "\xB1\xDF"                                      // 円
#define SANKAKU "\xA2\xA4"                                 // △
#define DASH "\xA1\xDD"                                    // －
#define OPEN_PAREN "\xA1\xCA"                              // （
#define CLOSE_PAREN "\xA1\xCB"                             // ）
#define KETSU "\xB7\xE8"                                   // 決
#define TOKYO_DENRYOKU "\xC5\xEC\xB5\xFE\xC5\xC5\xCE\xCF"  // 東京電力
// The same in Shift_JIS.
#define SJIS_KETSU "\x8C\x88"
#define SJIS_TOKYO_DENRYOKU "\x93\x8C\x8B\x9E\x93\x64\x97\xCD"

constexpr int32_t Untouched = -7;

// Every field of every record set to Untouched, so that a stored value shows.
void fill_untouched(PeriodTable* table) {
  for (PeriodRecord& record : table->period) {
    for (CalendarTime* time : {&record.period_end, &record.announced_on}) {
      time->tm_sec = time->tm_min = time->tm_hour = time->tm_mday = time->tm_mon = time->tm_year =
          time->tm_wday = time->tm_yday = time->tm_isdst = Untouched;
    }
    record.months = Untouched;
    record.dividend_class = Untouched;
    for (int item = 1; item <= ItemCount; ++item) {
      if (double* field = amount_field(&record, item)) *field = Untouched;
    }
  }
}

std::string name_line(const std::string& after_prefix) { return NameLinePrefix + after_prefix; }
std::string header(const std::string& text) { return HeaderCell + text + "</TD>"; }

// One table row: its label cell with its text lines, then one value cell per column, each
// holding one value per line.
std::vector<std::string> row(const std::vector<std::string>& labels,
                             const std::vector<std::vector<std::string>>& cells) {
  std::vector<std::string> lines{LabelCell};
  for (const std::string& label : labels) lines.push_back(label + "<BR>");
  for (const std::vector<std::string>& cell : cells) {
    lines.push_back(ValueCell);
    for (const std::string& value : cell) lines.push_back(value + "<BR>");
    lines.push_back("</TD>");
  }
  return lines;
}

// The start of a table with count header cells.
std::vector<std::string> table_head(int count) {
  std::vector<std::string> lines{TableStart, "<TR>"};
  for (int k = 1; k <= count; ++k)
    lines.push_back(header(std::to_string(2004 - k) + NEN "3" GATSU KI));
  lines.push_back("</TR><TR>");
  return lines;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr double U = Untouched;

std::string repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

// What the record holds for item 1..ItemCount: a date as yyyymmdd, a number as it is, and for
// the item whose value is not kept the record's dividend class; U where nothing was stored.
double held(const PeriodRecord& record, int item) {
  const ReportItem& entry = report_item(item);
  if (entry.date != nullptr) {
    const CalendarTime& time = record.*entry.date;
    if (time.tm_year == Untouched && time.tm_mon == Untouched && time.tm_mday == Untouched)
      return U;
    return (time.tm_year + 1900) * 10000.0 + (time.tm_mon + 1) * 100 + time.tm_mday;
  }
  if (entry.count != nullptr) return record.*entry.count;
  if (entry.amount != nullptr) return record.*entry.amount;
  return record.dividend_class;
}

using Page = std::vector<std::string>;

// A page and what scanning it line by line yields.
struct ScanCase {
  const char* label;
  Page page;
  bool stops;
  int32_t result;  // the stop's, or the period count after the last line
  size_t unread;   // lines after the one that stopped the scan
  // Per column, the values of items 1, 2, ... in order (held's form); the rest stay untouched.
  std::vector<std::vector<double>> yields;
  std::string name = "earlier";  // Shift_JIS; "earlier" is the name before the scan
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.label; }

// A one-column page; with line >= 0, the marker on that line one byte short.
Page cut_marker(int line, const std::string& marker) {
  Page page = {
      name_line("A" OPEN_PAREN CLOSE_PAREN), TableStart, header("2003"), LabelCell, ValueCell,
      "2003" NEN "3" GATSU KI "<BR>",        TableEnd};
  if (line >= 0) {
    std::string& text = page[line];
    text.replace(text.find(marker), marker.size(), marker.substr(0, marker.size() - 1));
  }
  return page;
}

// Three columns whose months item in column 3 reads months; a months of 0 stops with 0.
ScanCase months_case(const char* label, const std::string& months, double value) {
  Page page = table_head(3) +
              row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                          {"2002" NEN, "2002" NEN, "6"},
                          {"2001" NEN, "2001" NEN, months}}) +
              row({"b"}, {{"1"}, {"2"}, {"3"}}) + Page{TableEnd};
  if (value == 0) {
    return {label, page,
            true,  0,
            13,    {{20030101, 20030101, 12}, {20020101, 20020101, 6}, {20010101, 20010101, 0}}};
  }
  return {
      label,
      page,
      true,
      3,
      0,
      {{20030101, 20030101, 12, 1}, {20020101, 20020101, 6, 2}, {20010101, 20010101, value, 3}}};
}

// The header row's third line; a cell without its end after offset 49 stops with -1.
ScanCase header_case(const char* label, const std::string& line, bool stops) {
  const Page page = {TableStart, header("x"), line, header("z")};
  return stops ? ScanCase{label, page, true, -1, 1, {}} : ScanCase{label, page, false, 3, 0, {}};
}

// The name line alone.
ScanCase name_case(const char* label, const std::string& line, bool stops,
                   const std::string& name) {
  return {label, {line}, stops, stops ? -1 : 0, 0, {}, name};
}

// One value per row, item k reading 100 + k, through item 25.
Page every_item_page() {
  Page page = table_head(1) + row({"x"}, {{"2003" NEN "3" GATSU}}) +
              row({"x"}, {{"2003" NEN "6" GATSU "27" NICHI}}) + row({"x"}, {{"12"}});
  for (int item = 4; item <= 25; ++item) page = page + row({"x"}, {{std::to_string(100 + item)}});
  return page + Page{TableEnd};
}

const std::string Digits61(61, '1'), Digits62(62, '1');

const ScanCase Cases[] = {
    // Each marker is matched whole: one short of its last byte, the page reads otherwise.
    {"marker_none", cut_marker(-1, ""), true, 1, 0, {{20030301}}, "A"},
    {"marker_name_line", cut_marker(0, "<FONT size="), true, 1, 0, {{20030301}}},
    {"marker_table_start", cut_marker(1, TableStart), false, 0, 0, {}, "A"},
    {"marker_header_cell", cut_marker(2, HeaderCell), true, 0, 0, {{20030301}}, "A"},
    {"marker_label_cell", cut_marker(3, LabelCell), false, 1, 0, {}, "A"},
    {"marker_opening_value_cell", cut_marker(4, ValueCell), false, 1, 0, {}, "A"},
    {"marker_table_end", cut_marker(6, TableEnd), false, 1, 0, {{20030301}}, "A"},

    // A whole page: three columns, rows of several items, the dividend class dropped.
    {"three_columns",
     Page{"<HTML>", name_line(TOKYO_DENRYOKU OPEN_PAREN "9501" CLOSE_PAREN "</B></FONT>")} +
         table_head(3) +
         row({"a", "b", "c"}, {{"2003" NEN "3" GATSU KI, "2003" NEN "5" GATSU "18" NICHI, "12"},
                               {"2002" NEN "3" GATSU KI, "2002" NEN "5" GATSU "20" NICHI, "12"},
                               {"2001" NEN "9" GATSU KI, "2001" NEN "11" GATSU "2" NICHI, "6"}}) +
         row({"sales"}, {{"1,000" HYAKU MAN EN, SANKAKU "50" HYAKU MAN EN, "30", "20"},
                         {"900", "80", "70", "60"},
                         {"5" SEN, "3" MAN, "-1", "0"}}) +
         row({"eps", "deps", "div"},
             {{"12.5", DASH, "5.00" EN}, {"1", "2", "3"}, {"4", "5", "6"}}) +
         row({"class", "bps", "shares"},
             {{"999", "456.7", "5" SEN}, {"998", "11", "12"}, {"997", "13", "14"}}) +
         Page{TableEnd, "<P>after the table"},
     true,
     3,
     1,
     {{20030301, 20030518, 12, 1e9, -5e7, 30, 20, 12.5, 0, 5, U, 456.7, 5000},
      {20020301, 20020520, 12, 900, 80, 70, 60, 1, 2, 3, U, 11, 12},
      {20010901, 20011102, 6, 5000, 30000, -1, 0, 4, 5, 6, U, 13, 14}},
     SJIS_TOKYO_DENRYOKU},
    // Items beyond the list are read and dropped; item 12 is not shifted onto 11's place.
    {"every_item", every_item_page(), true, 1, 0, {{20030301, 20030627, 12,  104, 105, 106,
                                                    107,      108,      109, 110, U,   112,
                                                    113,      114,      115, 116, 117, 118,
                                                    119,      120,      121, 122, 123}}},

    // Item numbering: a row starts after the lines of the last cell before it.
    {"rows_advance_by_the_last_cell",
     table_head(3) +
         row({"a", "b", "c", "d", "e"},
             {{"2003" NEN "3" GATSU, "2003" NEN "5" GATSU "1" NICHI, "12"},
              {"2002" NEN "3" GATSU, "2002" NEN "5" GATSU "1" NICHI, "12"},
              {"2001" NEN "3" GATSU, "2001" NEN "5" GATSU "1" NICHI}}) +
         row({"z"}, {{"9", "1000"}, {"8", "2000"}, {"7", "3000"}}),
     false,
     3,
     0,
     {{20030301, 20030501, 9, 1000}, {20020301, 20020501, 8, 2000}, {20010301, 20010501, 7, 3000}}},
    {"label_lines_do_not_shift_the_items",
     table_head(1) + row({"a", "b", "c", "d", "e", "f"}, {{"2003" NEN, "2004" NEN, "3"}}) +
         row({"g", "h", "i", "j"}, {{"41", "51"}}),
     false,
     1,
     0,
     {{20030101, 20040101, 3, 41, 51}}},
    // A row of only a label cell: its two text lines count as the row's last cell.
    {"row_without_value_cells",
     table_head(1) + row({"a"}, {{"2003" NEN, "2004" NEN, "12"}}) + row({"b", "c"}, {}) +
         row({"d"}, {{"77"}}),
     false,
     1,
     0,
     {{20030101, 20040101, 12, U, U, 77}}},
    // A fourth column is counted but not stored, and its months of 0 does not stop.
    {"fourth_column",
     table_head(4) +
         row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                     {"2002" NEN, "2002" NEN, "12"},
                     {"2001" NEN, "2001" NEN, "12"},
                     {"2000" NEN, "2000" NEN, "0"}}) +
         row({"b"}, {{"10"}, {"20"}, {"30"}, {"40"}}) + Page{TableEnd},
     true,
     4,
     0,
     {{20030101, 20030101, 12, 10}, {20020101, 20020101, 12, 20}, {20010101, 20010101, 12, 30}}},
    {"fourth_column_sets_the_next_row",
     table_head(4) +
         row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                     {"2002" NEN, "2002" NEN, "12"},
                     {"2001" NEN, "2001" NEN, "12"},
                     {"2000" NEN, "2000" NEN}}) +
         row({"b"}, {{"6"}, {"7"}, {"8"}}),
     false,
     4,
     0,
     {{20030101, 20030101, 6}, {20020101, 20020101, 7}, {20010101, 20010101, 8}}},

    // Value lines: the text before the first tag; a line without a tag or of only a tag is none.
    {"value_lines",
     table_head(1) + Page{LabelCell, ValueCell, "<BR>", "2003" NEN,
                          "2003" NEN "<BR>2009" NEN "<BR>", "", "   <BR>", "12<B>99</B>"},
     false,
     1,
     0,
     {{20030101, 19000101, 12}}},
    // 61 digits and 千 make 63 bytes and fit; 62 digits and 千 do not, so 千 is left out.
    {"long_cell_text",
     table_head(2) + row({"a"}, {{"2003" NEN, "2003" NEN, "12"}, {"2002" NEN, "2002" NEN, "12"}}) +
         row({"b"}, {{Digits61 + SEN}, {Digits62 + SEN}}),
     false,
     2,
     0,
     {{20030101, 20030101, 12, std::stod(Digits61) * 1000},
      {20020101, 20020101, 12, std::stod(Digits62)}}},
    // 12 and the first byte of a pair whose second byte would be "<".
    {"lead_byte_cut_by_the_tag",
     table_head(1) + row({"a"}, {{"2003" NEN, "2003" NEN, "12\xB7"}}),
     false,
     1,
     0,
     {{20030101, 20030101, 12}}},

    months_case("months_zero", "0", 0),
    months_case("months_dash", DASH, 0),
    months_case("months_spaces", "  ", 0),
    months_case("months_half", "0.5", 0),
    months_case("months_minus_below_one", "-0.9", 0),
    months_case("months_truncated", "12.9", 12),
    months_case("months_triangle", SANKAKU "3", -3),
    months_case("months_clamped", "99999999999", 2147483647),
    months_case("months_clamped_by_units", "9" MAN MAN MAN, 2147483647),

    // Before the table: a name line holding the table start is only a name line, and
    // </TABLE> does not stop.
    {"name_line_with_table_start",
     Page{name_line("A" OPEN_PAREN "1" CLOSE_PAREN + TableStart), header("x"), header("y"),
          LabelCell, ValueCell, "2003" NEN "<BR>", TableEnd},
     false,
     0,
     0,
     {},
     "A"},
    {"no_table",
     Page{"<HTML>", "<BODY>", header("x"), LabelCell, ValueCell, "12<BR>"},
     false,
     0,
     0,
     {}},
    // The last name line before the table wins; inside the table none is taken.
    {"last_name_line_wins",
     Page{name_line("First" OPEN_PAREN "1" CLOSE_PAREN),
          name_line("Second" OPEN_PAREN "2" CLOSE_PAREN)} +
         table_head(1) +
         Page{name_line("no parentheses"), name_line("Third" OPEN_PAREN "3" CLOSE_PAREN)},
     false,
     1,
     0,
     {},
     "Second"},
    // In the header row a header cell with a label cell is only a header cell; </TABLE> does
    // not stop, the value line before the first label cell is not stored, and header cells
    // after it are not counted.
    {"header_cell_with_label_cell",
     Page{TableStart, header("x") + LabelCell, ValueCell, "2003" NEN "<BR>", TableEnd} +
         row({"a"}, {{"2004" NEN}}) + Page{header("y")},
     false,
     1,
     0,
     {{20040101}}},

    // The header cell's end is looked for from offset 49 of the line.
    header_case("header_end_on_the_line", HeaderCell + "2003" NEN "</TD>", false),
    header_case("header_empty_text", HeaderCell + "</TD>", false),
    header_case("header_marker_not_at_start", "<TR>" + HeaderCell + "y</TD>", false),
    header_case("header_no_end", HeaderCell + "2003" NEN, true),
    header_case("header_cut_end", HeaderCell + "2003</TD", true),
    header_case("header_end_only_before_the_marker", "</TD>" + HeaderCell + "y", true),
    // The marker stands at offset 2, so offset 49 falls inside it, 2 bytes short of its end:
    // an end right after the marker is still found.
    header_case("header_end_right_after_later_marker", "  " + HeaderCell + "</TD>", false),

    // Only the opening value cell enters the body; </TABLE> in the first label does not stop.
    {"wide_value_cell_does_not_open_the_body",
     Page{TableStart, header("x"), LabelCell, WideValueCell, "2003" NEN "<BR>", TableEnd, ValueCell,
          "2004" NEN "<BR>"},
     false,
     1,
     0,
     {{20040101}}},
    // In the body, a cell marker's line stores nothing, and any value cell marker starts the
    // next column.
    {"value_cell_line_with_text",
     Page{TableStart, header("x"), header("y"), LabelCell, ValueCell, "2003" NEN "<BR>",
          ValueCell + "2009" NEN "<BR>", "2002" NEN "<BR>"},
     false,
     2,
     0,
     {{20030101}, {20020101}}},
    {"wide_value_cell_starts_a_column",
     Page{TableStart, header("x"), header("y"), LabelCell, ValueCell, "2003" NEN "<BR>",
          WideValueCell, "2002" NEN "<BR>"},
     false,
     2,
     0,
     {{20030101}, {20020101}}},
    // A cell marker on the line of </TABLE> does not end the table: the label cell there
    // begins a new row at item 2.
    {"cell_marker_with_table_end",
     Page{TableStart, header("x"), header("y"), LabelCell, ValueCell, "2003" NEN "<BR>",
          ValueCell + TableEnd, "2002" NEN "<BR>", LabelCell + TableEnd, "b<BR>", ValueCell,
          "2001" NEN "<BR>"},
     false,
     2,
     0,
     {{20030101, 20010101}, {20020101}}},
    {"label_cell_line_with_text",
     Page{TableStart, header("x"), LabelCell, ValueCell, "2003" NEN "<BR>",
          LabelCell + "2009" NEN "<BR>", ValueCell, "2002" NEN "<BR>"},
     false,
     1,
     0,
     {{20030101, 20020101}}},
    {"text_before_table_end",
     Page{TableStart, header("x"), LabelCell, ValueCell, "2003" NEN "<BR>", "2002" NEN "</TABLE>"},
     true,
     1,
     0,
     {{20030101}}},
    {"table_end_after_the_first_row",
     table_head(3) +
         row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                     {"2002" NEN, "2002" NEN, "12"},
                     {"2001" NEN, "2001" NEN, "12"}}) +
         Page{TableEnd} + row({"b"}, {{"1"}, {"2"}, {"3"}}),
     true,
     3,
     11,
     {{20030101, 20030101, 12}, {20020101, 20020101, 12}, {20010101, 20010101, 12}}},

    // The company name: the converted text from byte 20 of the line up to "（".
    name_case("name_plain", name_line(TOKYO_DENRYOKU OPEN_PAREN "9501" CLOSE_PAREN "</B>"), false,
              SJIS_TOKYO_DENRYOKU),
    name_case("name_empty", name_line(OPEN_PAREN CLOSE_PAREN), false, ""),
    // The name starts at byte 20 of the line, not 20 bytes after the marker.
    name_case("name_marker_not_at_start", "xx" + name_line("AB" OPEN_PAREN CLOSE_PAREN), false,
              "> AB"),
    // Without （ the name stays as it was; （ without ） after it: the name is copied all the same.
    name_case("name_no_open_parenthesis", name_line(TOKYO_DENRYOKU "</B>"), true, "earlier"),
    name_case("name_no_close_parenthesis", name_line("AB" OPEN_PAREN "9501"), true, "AB"),
    name_case("name_close_only_before_open", name_line("A" CLOSE_PAREN "B" OPEN_PAREN "1"), true,
              "A\x81\x6A"
              "B"),
    // The open parenthesis among the first 20 bytes does not count.
    name_case("name_parenthesis_before_offset_20", "<FONT size=" OPEN_PAREN CLOSE_PAREN "     X",
              true, "earlier"),
    // Name lines shorter than 21 bytes convert to empty text.
    name_case("name_short_13_bytes", "<FONT size=3>", true, "earlier"),
    name_case("name_exactly_20_bytes", NameLinePrefix, true, "earlier"),
    name_case("name_21_bytes", NameLinePrefix + "X", true, "earlier"),
    // ｱｲ（ (half-width katakana).
    name_case("name_katakana", name_line("\x8E\xB1\x8E\xB2" OPEN_PAREN CLOSE_PAREN), false,
              "\xB1\xB2"),
    // 森鷗外（: the JIS X 0212 character becomes 〓 and the parenthesis is still found.
    name_case("name_jis_x_0212", name_line("\xBF\xB9\x8F\xEC\xBF\xB3\xB0" OPEN_PAREN CLOSE_PAREN),
              false, "\x90\x58\x81\xAC\x8A\x4F"),
    // Long names are cut at 127 bytes, never in the middle of a pair.
    name_case("name_ascii_127", name_line(std::string(127, 'A') + OPEN_PAREN CLOSE_PAREN), false,
              std::string(127, 'A')),
    name_case("name_ascii_128", name_line(std::string(128, 'A') + OPEN_PAREN CLOSE_PAREN), false,
              std::string(127, 'A')),
    name_case("name_ascii_200", name_line(std::string(200, 'A') + OPEN_PAREN CLOSE_PAREN), false,
              std::string(127, 'A')),
    name_case("name_ascii_then_64_pairs",
              name_line("A" + repeat(KETSU, 64) + OPEN_PAREN CLOSE_PAREN), false,
              "A" + repeat(SJIS_KETSU, 63)),
    name_case("name_64_pairs", name_line(repeat(KETSU, 64) + OPEN_PAREN CLOSE_PAREN), false,
              repeat(SJIS_KETSU, 63)),
    name_case("name_63_pairs_and_ascii", name_line(repeat(KETSU, 63) + "AB" OPEN_PAREN CLOSE_PAREN),
              false, repeat(SJIS_KETSU, 63) + "A"),
    name_case("name_128_katakana", name_line(repeat("\x8E\xB1", 128) + OPEN_PAREN CLOSE_PAREN),
              false, std::string(127, '\xB1')),
    // The "（" that the search finds across a pair (89 81, then "i" 69) at byte 127 or 126:
    // the name is the text before it in both cases.
    name_case("name_paren_found_across_a_pair_at_127",
              name_line(std::string(126, 'A') + "\xB1\xE1\x69" CLOSE_PAREN), false,
              std::string(126, 'A') + "\x89"),
    name_case("name_paren_found_across_a_pair_at_126",
              name_line(std::string(125, 'A') + "\xB1\xE1\x69" CLOSE_PAREN), false,
              std::string(125, 'A') + "\x89"),
    name_case("name_parenthesis_beyond_the_cut_missing_close",
              name_line(std::string(130, 'A') + OPEN_PAREN), true, std::string(127, 'A')),
};

class Scan : public testing::TestWithParam<ScanCase> {};

TEST_P(Scan, YieldsTheRecordsAndTheName) {
  const ScanCase& c = GetParam();
  PeriodTable table;
  fill_untouched(&table);
  CompanyName name;
  strcpy(name.text, "earlier");
  ResultsScanner scanner;
  start_scanner(&scanner, &table, &name);
  size_t read = 0;
  ScanVerdict verdict{false, 0};
  while (!verdict.stop && read < c.page.size()) {
    verdict = feed_line(&scanner, c.page[read++].c_str());
  }
  EXPECT_EQ(verdict.stop, c.stops);
  EXPECT_EQ(verdict.stop ? verdict.result : period_count(&scanner), c.result);
  EXPECT_EQ(c.page.size() - read, c.unread);
  EXPECT_EQ(std::string(name.text), c.name);
  for (size_t column = 1; column <= MaxPeriods; ++column) {
    const std::vector<double> none;
    const std::vector<double>& yields = column <= c.yields.size() ? c.yields[column - 1] : none;
    for (size_t item = 1; item <= ItemCount; ++item) {
      EXPECT_DOUBLE_EQ(held(table.period[column - 1], static_cast<int>(item)),
                       item <= yields.size() ? yields[item - 1] : U)
          << "column " << column << ", item " << item;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Scan, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<ScanCase>& info) {
                           return info.param.label;
                         });

}  // namespace
