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

struct Outcome {
  bool stopped;
  int32_t result;  // the stop's result, or the period count at the end of the lines
  size_t lines_read;
};

class Scanner : public testing::Test {
 protected:
  void SetUp() override {
    fill_untouched(&table);
    strcpy(name.text, "earlier");
    start_scanner(&scanner, &table, &name);
  }

  // Feeds the lines one by one until the scanner stops or the lines end.
  Outcome feed(const std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
      const ScanVerdict verdict = feed_line(&scanner, lines[i].c_str());
      if (verdict.stop) return Outcome{true, verdict.result, i + 1};
    }
    return Outcome{false, period_count(&scanner), lines.size()};
  }

  const PeriodRecord& record(int column) const { return table.period[column - 1]; }

  PeriodTable table;
  CompanyName name;
  ResultsScanner scanner;
};

void expect_date(const CalendarTime& time, int year, int month, int day) {
  EXPECT_EQ(time.tm_year + 1900, year);
  EXPECT_EQ(time.tm_mon + 1, month);
  EXPECT_EQ(time.tm_mday, day);
  EXPECT_EQ(time.tm_hour, 12);
}

// Each marker is matched whole: a page with one marker short of its last byte reads otherwise.
struct CutMarkerCase {
  const char* label;
  int line;  // of the page below; -1: no marker cut
  std::string marker;
  bool stopped;
  int32_t result;
  bool stored;
  const char* name;
};

void PrintTo(const CutMarkerCase& c, std::ostream* os) { *os << c.label; }

class ScannerMarkers : public Scanner, public testing::WithParamInterface<CutMarkerCase> {};

TEST_P(ScannerMarkers, AMarkerShortOfItsLastByteIsNotTaken) {
  const CutMarkerCase& c = GetParam();
  std::vector<std::string> page = {
      name_line("A" OPEN_PAREN CLOSE_PAREN), TableStart, header("2003"), LabelCell, ValueCell,
      "2003" NEN "3" GATSU KI "<BR>",        TableEnd};
  if (c.line >= 0) {
    std::string& line = page[c.line];
    line.replace(line.find(c.marker), c.marker.size(), c.marker.substr(0, c.marker.size() - 1));
  }
  const Outcome outcome = feed(page);
  EXPECT_EQ(outcome.stopped, c.stopped);
  EXPECT_EQ(outcome.result, c.result);
  EXPECT_EQ(record(1).period_end.tm_year == 103, c.stored);
  EXPECT_STREQ(name.text, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScannerMarkers,
    testing::Values(CutMarkerCase{"none", -1, "", true, 1, true, "A"},
                    CutMarkerCase{"name_line", 0, "<FONT size=", true, 1, true, "earlier"},
                    CutMarkerCase{"table_start", 1, TableStart, false, 0, false, "A"},
                    CutMarkerCase{"header_cell", 2, HeaderCell, true, 0, true, "A"},
                    CutMarkerCase{"label_cell", 3, LabelCell, false, 1, false, "A"},
                    CutMarkerCase{"opening_value_cell", 4, ValueCell, false, 1, false, "A"},
                    CutMarkerCase{"table_end", 6, TableEnd, false, 1, true, "A"}),
    [](const testing::TestParamInfo<CutMarkerCase>& info) { return info.param.label; });

// ---- A whole page ----

TEST_F(Scanner, ReadsAThreeColumnPage) {
  const auto page =
      std::vector<std::string>{
          "<HTML>", name_line(TOKYO_DENRYOKU OPEN_PAREN "9501" CLOSE_PAREN "</B></FONT>")} +
      table_head(3) +
      // 決算期 / 発表日 / 月数: three labels, three values per cell (items 1-3).
      row({"a", "b", "c"}, {{"2003" NEN "3" GATSU KI, "2003" NEN "5" GATSU "18" NICHI, "12"},
                            {"2002" NEN "3" GATSU KI, "2002" NEN "5" GATSU "20" NICHI, "12"},
                            {"2001" NEN "9" GATSU KI, "2001" NEN "11" GATSU "2" NICHI, "6"}}) +
      // One label, four values per cell (items 4-7): 1,000百万円, △50百万円, 30, 20.
      row({"sales"}, {{"1,000" HYAKU MAN EN, SANKAKU "50" HYAKU MAN EN, "30", "20"},
                      {"900", "80", "70", "60"},
                      {"5" SEN, "3" MAN, "-1", "0"}}) +
      // Items 8-10: 12.5, －, 5.00円.
      row({"eps", "deps", "div"}, {{"12.5", DASH, "5.00" EN}, {"1", "2", "3"}, {"4", "5", "6"}}) +
      // Items 11-13: the dividend class is dropped, 12 and 13 keep their own fields.
      row({"class", "bps", "shares"},
          {{"999", "456.7", "5" SEN}, {"998", "11", "12"}, {"997", "13", "14"}}) +
      std::vector<std::string>{TableEnd, "<P>after the table"};

  const Outcome outcome = feed(page);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.result, 3);
  EXPECT_EQ(outcome.lines_read, page.size() - 1);
  EXPECT_STREQ(name.text, SJIS_TOKYO_DENRYOKU);

  expect_date(record(1).period_end, 2003, 3, 1);
  expect_date(record(1).announced_on, 2003, 5, 18);
  EXPECT_EQ(record(1).months, 12);
  EXPECT_DOUBLE_EQ(record(1).net_sales, 1e9);
  EXPECT_DOUBLE_EQ(record(1).operating_income, -5e7);
  EXPECT_DOUBLE_EQ(record(1).ordinary_income, 30);
  EXPECT_DOUBLE_EQ(record(1).net_income, 20);
  EXPECT_DOUBLE_EQ(record(1).eps, 12.5);
  EXPECT_DOUBLE_EQ(record(1).diluted_eps, 0);
  EXPECT_DOUBLE_EQ(record(1).dividend_per_share, 5);
  EXPECT_EQ(record(1).dividend_class, Untouched);
  EXPECT_DOUBLE_EQ(record(1).equity_per_share, 456.7);
  EXPECT_DOUBLE_EQ(record(1).shares_issued, 5000);
  EXPECT_DOUBLE_EQ(record(1).total_assets, Untouched);

  expect_date(record(2).period_end, 2002, 3, 1);
  expect_date(record(2).announced_on, 2002, 5, 20);
  EXPECT_EQ(record(2).months, 12);
  EXPECT_DOUBLE_EQ(record(2).net_sales, 900);
  EXPECT_DOUBLE_EQ(record(2).net_income, 60);
  EXPECT_DOUBLE_EQ(record(2).dividend_per_share, 3);
  EXPECT_DOUBLE_EQ(record(2).equity_per_share, 11);
  EXPECT_DOUBLE_EQ(record(2).shares_issued, 12);

  expect_date(record(3).period_end, 2001, 9, 1);
  expect_date(record(3).announced_on, 2001, 11, 2);
  EXPECT_EQ(record(3).months, 6);
  EXPECT_DOUBLE_EQ(record(3).net_sales, 5000);
  EXPECT_DOUBLE_EQ(record(3).operating_income, 30000);
  EXPECT_DOUBLE_EQ(record(3).ordinary_income, -1);
  EXPECT_DOUBLE_EQ(record(3).net_income, 0);
  EXPECT_DOUBLE_EQ(record(3).eps, 4);
  EXPECT_DOUBLE_EQ(record(3).shares_issued, 14);
  EXPECT_EQ(record(3).dividend_class, Untouched);
}

TEST_F(Scanner, EachItemOfTheListKeepsItsOwnField) {
  // One column, one value per row: item k reads 100 + k; items 1 and 2 are dates.
  auto page = table_head(1) + row({"x"}, {{"2003" NEN "3" GATSU}}) +
              row({"x"}, {{"2003" NEN "6" GATSU "27" NICHI}}) + row({"x"}, {{"12"}});
  for (int item = 4; item <= 25; ++item) page = page + row({"x"}, {{std::to_string(100 + item)}});
  page.push_back(TableEnd);

  const Outcome outcome = feed(page);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.result, 1);
  expect_date(record(1).period_end, 2003, 3, 1);
  expect_date(record(1).announced_on, 2003, 6, 27);
  EXPECT_EQ(record(1).months, 12);
  for (int item = 4; item <= ItemCount; ++item) {
    if (item == 11) continue;
    EXPECT_DOUBLE_EQ(*amount_field(&table.period[0], item), 100 + item) << "item " << item;
  }
  EXPECT_DOUBLE_EQ(record(1).equity_per_share, 112);  // item 12 is not shifted onto 11's place
  EXPECT_EQ(record(1).dividend_class, Untouched);
  EXPECT_EQ(record(2).months, Untouched);
}

// ---- Item numbering ----

TEST_F(Scanner, RowsAdvanceByTheLinesOfTheirLastCell) {
  // The last cell of the first row holds two values, so the second row starts at item 3.
  const auto page =
      table_head(3) +
      row({"a", "b", "c", "d", "e"}, {{"2003" NEN "3" GATSU, "2003" NEN "5" GATSU "1" NICHI, "12"},
                                      {"2002" NEN "3" GATSU, "2002" NEN "5" GATSU "1" NICHI, "12"},
                                      {"2001" NEN "3" GATSU, "2001" NEN "5" GATSU "1" NICHI}}) +
      row({"z"}, {{"9", "1000"}, {"8", "2000"}, {"7", "3000"}});
  const Outcome outcome = feed(page);
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.result, 3);
  EXPECT_EQ(record(1).months, 9);
  EXPECT_EQ(record(2).months, 8);
  EXPECT_EQ(record(3).months, 7);
  EXPECT_DOUBLE_EQ(record(1).net_sales, 1000);
  EXPECT_DOUBLE_EQ(record(3).net_sales, 3000);
  EXPECT_DOUBLE_EQ(record(1).operating_income, Untouched);
}

TEST_F(Scanner, LabelTextLinesDoNotShiftTheItems) {
  // Label cells whose text runs over several lines, and whose lines are counted in the cell.
  const auto page = table_head(1) +
                    row({"a", "b", "c", "d", "e", "f"}, {{"2003" NEN, "2004" NEN, "3"}}) +
                    row({"g", "h", "i", "j"}, {{"41", "51"}});
  feed(page);
  EXPECT_EQ(record(1).months, 3);
  EXPECT_DOUBLE_EQ(record(1).net_sales, 41);
  EXPECT_DOUBLE_EQ(record(1).operating_income, 51);
}

TEST_F(Scanner, ARowWithoutValueCellsAdvancesByItsLabelLines) {
  // A row made only of a label cell of two text lines: its lines are the row's last cell.
  const auto page = table_head(1) + row({"a"}, {{"2003" NEN, "2004" NEN, "12"}}) +
                    row({"b", "c"}, {}) + row({"d"}, {{"77"}});
  feed(page);
  EXPECT_DOUBLE_EQ(record(1).net_sales, Untouched);
  EXPECT_DOUBLE_EQ(record(1).operating_income, Untouched);
  EXPECT_DOUBLE_EQ(record(1).ordinary_income, 77);  // 1 + 3 + 2 = item 6
}

TEST_F(Scanner, AFourthColumnIsCountedButNotStored) {
  const auto page =
      table_head(4) +
      row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                  {"2002" NEN, "2002" NEN, "12"},
                  {"2001" NEN, "2001" NEN, "12"},
                  {"2000" NEN, "2000" NEN, "0"}}) +  // a months of 0 in column 4 does not stop
      row({"b"}, {{"10"}, {"20"}, {"30"}, {"40"}}) +
      std::vector<std::string>{TableEnd};
  const Outcome outcome = feed(page);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.result, 4);
  EXPECT_EQ(record(3).period_end.tm_year, 101);
  EXPECT_EQ(record(3).months, 12);
  // The rows after the fourth column keep their item numbers: its three lines counted.
  EXPECT_DOUBLE_EQ(record(1).net_sales, 10);
  EXPECT_DOUBLE_EQ(record(2).net_sales, 20);
  EXPECT_DOUBLE_EQ(record(3).net_sales, 30);
  EXPECT_DOUBLE_EQ(record(3).operating_income, Untouched);
}

TEST_F(Scanner, FourthColumnCellsWithTooFewLinesSetTheNextRowsStart) {
  // The fourth cell holds two lines, so the next row starts at item 3 in columns 1 to 3.
  const auto page = table_head(4) +
                    row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                                {"2002" NEN, "2002" NEN, "12"},
                                {"2001" NEN, "2001" NEN, "12"},
                                {"2000" NEN, "2000" NEN}}) +
                    row({"b"}, {{"6"}, {"7"}, {"8"}});
  const Outcome outcome = feed(page);
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.result, 4);
  EXPECT_EQ(record(1).months, 6);
  EXPECT_EQ(record(2).months, 7);
  EXPECT_EQ(record(3).months, 8);
}

// ---- Value lines ----

TEST_F(Scanner, ValueLinesAreTheTextBeforeTheFirstTag) {
  const auto page = table_head(1) + std::vector<std::string>{LabelCell,
                                                             ValueCell,
                                                             "<BR>",      // only a tag: no item
                                                             "2003" NEN,  // no tag: ignored
                                                             "2003" NEN "<BR>2009" NEN "<BR>",
                                                             "",         // an empty line
                                                             "   <BR>",  // spaces: an item
                                                             "12<B>99</B>"};
  const Outcome outcome = feed(page);
  EXPECT_FALSE(outcome.stopped);
  expect_date(record(1).period_end, 2003, 1, 1);
  expect_date(record(1).announced_on, 1900, 1, 1);
  EXPECT_EQ(record(1).months, 12);
}

TEST_F(Scanner, LongCellTextIsCutBeforeAPairThatDoesNotFit) {
  // 61 digits and 千 make 63 bytes and fit; 62 digits and 千 do not, so 千 is left out.
  const std::string digits61(61, '1');
  const std::string digits62(62, '1');
  const auto page = table_head(2) +
                    row({"a"}, {{"2003" NEN, "2003" NEN, "12"}, {"2002" NEN, "2002" NEN, "12"}}) +
                    row({"b"}, {{digits61 + SEN}, {digits62 + SEN}});
  feed(page);
  EXPECT_DOUBLE_EQ(record(1).net_sales, std::stod(digits61) * 1000);
  EXPECT_DOUBLE_EQ(record(2).net_sales, std::stod(digits62));
}

TEST_F(Scanner, ALeadByteCutByTheTagWritesNothing) {
  // 12 and the first byte of a pair whose second byte would be "<".
  const auto page = table_head(1) + row({"a"}, {{"2003" NEN, "2003" NEN, "12\xB7"}});
  feed(page);
  EXPECT_EQ(record(1).months, 12);
}

struct MonthsCase {
  const char* label;
  std::string text;
  bool stops;
  int32_t months;
};

// Test names and failure messages show the case by its label.
void PrintTo(const MonthsCase& c, std::ostream* os) { *os << c.label; }

class ScannerMonths : public Scanner, public testing::WithParamInterface<MonthsCase> {};

TEST_P(ScannerMonths, AMonthsOfZeroStopsWithZero) {
  const MonthsCase& c = GetParam();
  // Columns 1 and 2 are filled before column 3's months item.
  const auto page = table_head(3) +
                    row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                                {"2002" NEN, "2002" NEN, "6"},
                                {"2001" NEN, "2001" NEN, c.text}}) +
                    row({"b"}, {{"1"}, {"2"}, {"3"}}) + std::vector<std::string>{TableEnd};
  const Outcome outcome = feed(page);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.result, c.stops ? 0 : 3);
  EXPECT_EQ(record(1).months, 12);
  EXPECT_EQ(record(2).months, 6);
  EXPECT_EQ(record(3).months, c.months);
  EXPECT_EQ(record(3).period_end.tm_year, 101);
  EXPECT_DOUBLE_EQ(record(3).net_sales, c.stops ? Untouched : 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScannerMonths,
    testing::Values(MonthsCase{"zero", "0", true, 0}, MonthsCase{"dash", DASH, true, 0},
                    MonthsCase{"spaces", "  ", true, 0}, MonthsCase{"half", "0.5", true, 0},
                    MonthsCase{"minus_below_one", "-0.9", true, 0},
                    MonthsCase{"truncated", "12.9", false, 12},
                    MonthsCase{"triangle", SANKAKU "3", false, -3},
                    MonthsCase{"clamped", "99999999999", false, 2147483647},
                    MonthsCase{"clamped_by_units", "9" MAN MAN MAN, false, 2147483647}),
    [](const testing::TestParamInfo<MonthsCase>& info) { return info.param.label; });

// ---- Test order within each state ----

TEST_F(Scanner, BeforeTableANameLineWithTheTableStartIsOnlyANameLine) {
  const auto page =
      std::vector<std::string>{name_line("A" OPEN_PAREN "1" CLOSE_PAREN + TableStart)} +
      std::vector<std::string>{header("x"), header("y"),       LabelCell,
                               ValueCell,   "2003" NEN "<BR>", TableEnd};
  const Outcome outcome = feed(page);
  EXPECT_FALSE(outcome.stopped);  // </TABLE> before the table does not stop
  EXPECT_EQ(outcome.result, 0);
  EXPECT_STREQ(name.text, "A");
  EXPECT_EQ(record(1).period_end.tm_year, Untouched);
}

TEST_F(Scanner, WithoutATableTheResultIsZero) {
  const Outcome outcome = feed({"<HTML>", "<BODY>", header("x"), LabelCell, ValueCell, "12<BR>"});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_STREQ(name.text, "earlier");
}

TEST_F(Scanner, TheLastNameLineBeforeTheTableWins) {
  const auto page = std::vector<std::string>{name_line("First" OPEN_PAREN "1" CLOSE_PAREN),
                                             name_line("Second" OPEN_PAREN "2" CLOSE_PAREN)} +
                    table_head(1) +
                    std::vector<std::string>{name_line("no parentheses"),  // inside: not a name
                                             name_line("Third" OPEN_PAREN "3" CLOSE_PAREN)};
  const Outcome outcome = feed(page);
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_STREQ(name.text, "Second");
}

TEST_F(Scanner, HeaderRowAHeaderCellWithALabelCellIsOnlyAHeaderCell) {
  const auto page = std::vector<std::string>{TableStart, header("x") + LabelCell, ValueCell,
                                             "2003" NEN "<BR>", TableEnd} +
                    row({"a"}, {{"2004" NEN}}) + std::vector<std::string>{header("y")};
  const Outcome outcome = feed(page);
  EXPECT_FALSE(outcome.stopped);  // </TABLE> in the header row does not stop
  // The value line before the first label cell is not stored; the one after it is.
  EXPECT_EQ(record(1).period_end.tm_year, 104);
  EXPECT_EQ(outcome.result, 1);  // header cells after the first label cell are not counted
}

struct HeaderCase {
  const char* label;
  std::string line;
  bool stops;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.label; }

class ScannerHeader : public Scanner, public testing::WithParamInterface<HeaderCase> {};

TEST_P(ScannerHeader, TheCellEndIsLookedForFromOffset49) {
  const HeaderCase& c = GetParam();
  const Outcome outcome = feed({TableStart, header("x"), c.line, header("z")});
  EXPECT_EQ(outcome.stopped, c.stops);
  if (c.stops) {
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.lines_read, 3u);
  } else {
    EXPECT_EQ(outcome.result, 3);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScannerHeader,
    testing::Values(HeaderCase{"end_on_the_line", HeaderCell + "2003" NEN "</TD>", false},
                    HeaderCase{"empty_text", HeaderCell + "</TD>", false},
                    HeaderCase{"marker_not_at_start", "<TR>" + HeaderCell + "y</TD>", false},
                    HeaderCase{"no_end", HeaderCell + "2003" NEN, true},
                    HeaderCase{"cut_end", HeaderCell + "2003</TD", true},
                    HeaderCase{"end_only_before_the_marker", "</TD>" + HeaderCell + "y", true},
                    // The marker stands at offset 2, so offset 49 falls inside it, 2 bytes
                    // short of its end: an end right after the marker is still found.
                    HeaderCase{"end_right_after_later_marker", "  " + HeaderCell + "</TD>", false}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return info.param.label; });

TEST_F(Scanner, RowLabelOnlyTheOpeningValueCellEntersTheBody) {
  const Outcome outcome = feed({TableStart, header("x"), LabelCell, WideValueCell,
                                "2003" NEN "<BR>", TableEnd, ValueCell, "2004" NEN "<BR>"});
  EXPECT_FALSE(outcome.stopped);  // </TABLE> while reading the first label does not stop
  EXPECT_EQ(record(1).period_end.tm_year, 104);
}

TEST_F(Scanner, RowValuesACellMarkerWithTextStoresNothing) {
  const Outcome outcome =
      feed({TableStart, header("x"), header("y"), LabelCell, ValueCell, "2003" NEN "<BR>",
            ValueCell + "2009" NEN "<BR>", "2002" NEN "<BR>"});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(record(1).period_end.tm_year, 103);
  EXPECT_EQ(record(2).period_end.tm_year, 102);
}

TEST_F(Scanner, RowValuesAnyValueCellMarkerStartsTheNextColumn) {
  const Outcome outcome = feed({TableStart, header("x"), header("y"), LabelCell, ValueCell,
                                "2003" NEN "<BR>", WideValueCell, "2002" NEN "<BR>"});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(record(2).period_end.tm_year, 102);
}

TEST_F(Scanner, RowValuesACellMarkerWithTableEndDoesNotEndTheTable) {
  const Outcome outcome = feed({TableStart, header("x"), header("y"), LabelCell, ValueCell,
                                "2003" NEN "<BR>", ValueCell + TableEnd, "2002" NEN "<BR>",
                                LabelCell + TableEnd, "b<BR>", ValueCell, "2001" NEN "<BR>"});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(outcome.result, 2);
  EXPECT_EQ(record(2).period_end.tm_year, 102);
  // The label cell on its line with </TABLE> began a new row: row_base 1 + 1, item 2.
  EXPECT_EQ(record(1).announced_on.tm_year, 101);
}

TEST_F(Scanner, RowValuesALabelCellWithTextStoresNothing) {
  const Outcome outcome = feed({TableStart, header("x"), LabelCell, ValueCell, "2003" NEN "<BR>",
                                LabelCell + "2009" NEN "<BR>", ValueCell, "2002" NEN "<BR>"});
  EXPECT_FALSE(outcome.stopped);
  EXPECT_EQ(record(1).period_end.tm_year, 103);
  EXPECT_EQ(record(1).announced_on.tm_year, 102);
}

TEST_F(Scanner, RowValuesTextBeforeTableEndIsNotStored) {
  const Outcome outcome = feed(
      {TableStart, header("x"), LabelCell, ValueCell, "2003" NEN "<BR>", "2002" NEN "</TABLE>"});
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(record(1).announced_on.tm_year, Untouched);
}

TEST_F(Scanner, TableEndAfterTheFirstRowGivesTheHeaderCount) {
  const auto page = table_head(3) +
                    row({"a"}, {{"2003" NEN, "2003" NEN, "12"},
                                {"2002" NEN, "2002" NEN, "12"},
                                {"2001" NEN, "2001" NEN, "12"}}) +
                    std::vector<std::string>{TableEnd} + row({"b"}, {{"1"}, {"2"}, {"3"}});
  const Outcome outcome = feed(page);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.result, 3);
  EXPECT_EQ(record(3).months, 12);
  EXPECT_DOUBLE_EQ(record(1).net_sales, Untouched);
}

// ---- The company name ----

struct NameCase {
  const char* label;
  std::string line;
  bool stops;  // with -1
  std::string name;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class ScannerName : public Scanner, public testing::WithParamInterface<NameCase> {};

TEST_P(ScannerName, TakesTheTextBeforeTheParenthesis) {
  const NameCase& c = GetParam();
  const Outcome outcome = feed({c.line});
  EXPECT_EQ(outcome.stopped, c.stops);
  if (c.stops) {
    EXPECT_EQ(outcome.result, -1);
  }
  EXPECT_EQ(std::string(name.text), c.name);
  EXPECT_LE(strlen(name.text), 127u);
}

std::string repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScannerName,
    testing::Values(
        // 東京電力（9501）
        NameCase{"plain", name_line(TOKYO_DENRYOKU OPEN_PAREN "9501" CLOSE_PAREN "</B>"), false,
                 SJIS_TOKYO_DENRYOKU},
        NameCase{"empty_name", name_line(OPEN_PAREN CLOSE_PAREN), false, ""},
        // The name starts at byte 20 of the line, not 20 bytes after the marker.
        NameCase{"marker_not_at_start", "xx" + name_line("AB" OPEN_PAREN CLOSE_PAREN), false,
                 "> AB"},
        // The name line without （: the name stays as it was.
        NameCase{"no_open_parenthesis", name_line(TOKYO_DENRYOKU "</B>"), true, "earlier"},
        // （ without ） after it: the name is copied all the same.
        NameCase{"no_close_parenthesis", name_line("AB" OPEN_PAREN "9501"), true, "AB"},
        NameCase{"close_only_before_open", name_line("A" CLOSE_PAREN "B" OPEN_PAREN "1"), true,
                 "A\x81\x6A"
                 "B"},
        // The open parenthesis among the first 20 bytes does not count.
        NameCase{"parenthesis_before_offset_20", "<FONT size=" OPEN_PAREN CLOSE_PAREN "     X",
                 true, "earlier"},
        // Name lines shorter than 21 bytes convert to empty text.
        NameCase{"short_13_bytes", "<FONT size=3>", true, "earlier"},
        NameCase{"exactly_20_bytes", NameLinePrefix, true, "earlier"},
        NameCase{"21_bytes", NameLinePrefix + "X", true, "earlier"},
        // ｱｲ（ (half-width katakana).
        NameCase{"katakana", name_line("\x8E\xB1\x8E\xB2" OPEN_PAREN CLOSE_PAREN), false,
                 "\xB1\xB2"},
        // 森鷗外（: the JIS X 0212 character becomes 〓 and the parenthesis is still found.
        NameCase{"jis_x_0212", name_line("\xBF\xB9\x8F\xEC\xBF\xB3\xB0" OPEN_PAREN CLOSE_PAREN),
                 false, "\x90\x58\x81\xAC\x8A\x4F"},
        // Long names are cut at 127 bytes, never in the middle of a pair.
        NameCase{"ascii_127", name_line(std::string(127, 'A') + OPEN_PAREN CLOSE_PAREN), false,
                 std::string(127, 'A')},
        NameCase{"ascii_128", name_line(std::string(128, 'A') + OPEN_PAREN CLOSE_PAREN), false,
                 std::string(127, 'A')},
        NameCase{"ascii_200", name_line(std::string(200, 'A') + OPEN_PAREN CLOSE_PAREN), false,
                 std::string(127, 'A')},
        NameCase{"ascii_then_64_pairs", name_line("A" + repeat(KETSU, 64) + OPEN_PAREN CLOSE_PAREN),
                 false, "A" + repeat(SJIS_KETSU, 63)},
        NameCase{"64_pairs", name_line(repeat(KETSU, 64) + OPEN_PAREN CLOSE_PAREN), false,
                 repeat(SJIS_KETSU, 63)},
        NameCase{"63_pairs_and_ascii", name_line(repeat(KETSU, 63) + "AB" OPEN_PAREN CLOSE_PAREN),
                 false, repeat(SJIS_KETSU, 63) + "A"},
        NameCase{"128_katakana", name_line(repeat("\x8E\xB1", 128) + OPEN_PAREN CLOSE_PAREN), false,
                 std::string(127, '\xB1')},
        // The "（" that the search finds across a pair (89 81, then "i" 69) at byte 127 or 126:
        // the name is the text before it in both cases.
        NameCase{"paren_found_across_a_pair_at_127",
                 name_line(std::string(126, 'A') + "\xB1\xE1\x69" CLOSE_PAREN), false,
                 std::string(126, 'A') + "\x89"},
        NameCase{"paren_found_across_a_pair_at_126",
                 name_line(std::string(125, 'A') + "\xB1\xE1\x69" CLOSE_PAREN), false,
                 std::string(125, 'A') + "\x89"},
        NameCase{"parenthesis_beyond_the_cut_missing_close",
                 name_line(std::string(130, 'A') + OPEN_PAREN), true, std::string(127, 'A')}),
    [](const testing::TestParamInfo<NameCase>& info) { return info.param.label; });

}  // namespace
