#include "tidy/writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tidy/options.h"

namespace {

using tidy::Cell;
using tidy::Encoding;
using tidy::Format;
using tidy::Header;

// What a text writer writes of table: its start, then rows.
std::string written(const tidy::Table& table, Format format, Encoding encoding, Header header,
                    const std::vector<std::vector<Cell>>& rows = {}) {
  std::string out;
  tidy::TextWriter writer(format, encoding, header, [&](std::string_view bytes) {
    out += bytes;
    return true;
  });
  writer.begin(table);
  for (const std::vector<Cell>& cells : rows) writer.row(cells);
  writer.finish();
  return out;
}

// The block's rows, without a header.
std::string block_rows(const tidy::Block& block, Format format, Encoding encoding) {
  std::vector<std::vector<Cell>> rows(block.periods);
  std::vector<std::string> fiscal(block.periods);
  for (int k = 0; k < block.periods; ++k) tidy::block_cells(block, k, fiscal[k], rows[k]);
  return written(tidy::sweep_table(), format, encoding, Header::None, rows);
}

// Rows 8-10, 12 and 21-23 print two decimals.
const char* zero(int item) {
  if (item == 3 || item == 11) return "0";
  return (item >= 8 && item <= 10) || item == 12 || item >= 21 ? "-0.00" : "-0";
}

// A one-period block of the given Shift_JIS name, read through the block grammar.
tidy::Block block_named(const std::string& name) {
  tidy::BlockReader reader;
  tidy::Line line;
  auto feed = [&](const std::string& text) {
    line.text = text;
    ++line.number;
    return reader.line(line);
  };
  feed("1301," + name + ",1");
  tidy::BlockReader::Result result = tidy::BlockReader::Result::More;
  for (int item = 1; item <= ItemCount; ++item) {
    const char* field = item == 1 ? "2024/3" : item == 2 ? "2024/5/9" : zero(item);
    result = feed(report_item(item).label + std::string(",") + field);
  }
  EXPECT_EQ(result, tidy::BlockReader::Result::Block) << reader.message();
  return reader.block();
}

const char* const Figures =
    "2024-03,2024-05-09,0,-0,-0,-0,-0,-0.00,-0.00,-0.00,0,-0.00,-0,-0,-0,-0,-0,-0,-0,-0,-0.00,"
    "-0.00,-0.00";
const char* const JsonFigures =
    "\"period_end\":\"2024-03\",\"announced_on\":\"2024-05-09\",\"months\":0,\"net_sales\":-0,"
    "\"operating_income\":-0,\"ordinary_income\":-0,\"net_income\":-0,\"eps\":-0.00,"
    "\"diluted_eps\":-0.00,\"dividend_per_share\":-0.00,\"dividend_class\":0,"
    "\"equity_per_share\":-0.00,"
    "\"shares_issued\":-0,\"total_assets\":-0,\"shareholders_equity\":-0,\"capital_stock\":-0,"
    "\"interest_bearing_debt\":-0,\"retained_earnings\":-0,\"equity_ratio\":-0,"
    "\"unrealized_gains\":-0,\"roa\":-0.00,\"roe\":-0.00,\"ordinary_roa\":-0.00}\n";

struct RowCase {
  const char* label;
  std::string name;  // Shift_JIS
  Format format;
  Encoding encoding;
  std::string shown;  // the row up to the period
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << c.label; }

class Rows : public testing::TestWithParam<RowCase> {};

TEST_P(Rows, WriteTheNameQuotedAndEncoded) {
  const RowCase& c = GetParam();
  std::string out = block_rows(block_named(c.name), c.format, c.encoding);
  std::string figures = Figures;
  if (c.format == Format::Tsv) {
    for (char& ch : figures) ch = ch == ',' ? '\t' : ch;
  }
  EXPECT_EQ(out, c.shown + (c.format == Format::Jsonl ? JsonFigures : figures + "\n"));
}

// ｶﾅ〓 and an invalid byte 80, in Shift_JIS and in UTF-8.
#define NAME "\xB6\xC5\x81\xAC\x80"
#define NAME_UTF8 "\xEF\xBD\xB6\xEF\xBE\x85\xE3\x80\x93\xEF\xBF\xBD"
#define HYO "\x95\x5C"  // 表, whose trail byte is a backslash in ASCII

INSTANTIATE_TEST_SUITE_P(
    Cases, Rows,
    testing::Values(
        RowCase{"csv_utf8", NAME, Format::Csv, Encoding::Utf8, "1301," NAME_UTF8 ",1,"},
        RowCase{"csv_utf8_bom_at_the_start", NAME, Format::Csv, Encoding::Utf8Bom,
                "\xEF\xBB\xBF"
                "1301," NAME_UTF8 ",1,"},
        RowCase{"csv_cp932", NAME, Format::Csv, Encoding::Cp932, "1301,\xB6\xC5\x81\xAC?,1,"},
        RowCase{"tsv_cp932", NAME, Format::Tsv, Encoding::Cp932, "1301\t\xB6\xC5\x81\xAC?\t1\t"},
        RowCase{"jsonl_utf8", NAME, Format::Jsonl, Encoding::Utf8,
                "{\"code\":1301,\"name\":\"" NAME_UTF8 "\",\"period\":1,"},
        RowCase{"jsonl_cp932", NAME, Format::Jsonl, Encoding::Cp932,
                "{\"code\":1301,\"name\":\"\xB6\xC5\x81\xAC?\",\"period\":1,"},
        RowCase{"csv_comma_and_quotes", "a,\"b\"", Format::Csv, Encoding::Utf8,
                "1301,\"a,\"\"b\"\"\",1,"},
        RowCase{"csv_cr_and_tab", "a\rb\tc", Format::Csv, Encoding::Utf8, "1301,\"a\rb\tc\",1,"},
        RowCase{"csv_lone_quote", "\"", Format::Csv, Encoding::Utf8, "1301,\"\"\"\",1,"},
        RowCase{"tsv_tab_and_quotes", "a\t\"b\"", Format::Tsv, Encoding::Utf8,
                "1301\t\"a\t\"\"b\"\"\"\t1\t"},
        RowCase{"tsv_comma_unquoted", "a,b", Format::Tsv, Encoding::Utf8, "1301\ta,b\t1\t"},
        RowCase{"jsonl_quote_backslash_controls", "\"\\\x01\x1F\t\r", Format::Jsonl, Encoding::Utf8,
                "{\"code\":1301,\"name\":\"\\\"\\\\\\u0001\\u001f\\u0009\\u000d\",\"period\":1,"},
        RowCase{"jsonl_cp932_trail_5c_is_not_escaped", HYO "\\", Format::Jsonl, Encoding::Cp932,
                "{\"code\":1301,\"name\":\"" HYO "\\\\\",\"period\":1,"},
        RowCase{"csv_cp932_trail_5c_as_is", HYO, Format::Csv, Encoding::Cp932, "1301," HYO ",1,"},
        // A spreadsheet takes a text that begins like a formula as text only after a quote.
        RowCase{"csv_formula_quoted", "=HYPERLINK(\"http://x\",\"y\")", Format::Csv, Encoding::Utf8,
                "1301,\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",1,"},
        RowCase{"tsv_formula_quoted", "@SUM(A1)", Format::Tsv, Encoding::Cp932,
                "1301\t'@SUM(A1)\t1\t"},
        RowCase{"csv_lone_minus_as_is", "-", Format::Csv, Encoding::Utf8, "1301,-,1,"},
        RowCase{"jsonl_formula_as_is", "+1", Format::Jsonl, Encoding::Utf8,
                "{\"code\":1301,\"name\":\"+1\",\"period\":1,"}));

// Dates are written only for calendar dates of years 1..9999, empty in CSV and null in JSON.
TEST(Rows, DatesAreWrittenOnlyWhenCalendarDates) {
  struct Case {
    const char* end;
    const char* announced;
    const char* csv;
    const char* jsonl;
  } cases[] = {
      {"2024/12", "2025/2/10", "2024-12,2025-02-10", "\"2024-12\",\"announced_on\":\"2025-02-10\""},
      {"5/1", "1/10/1", "0005-01,0001-10-01", "\"0005-01\",\"announced_on\":\"0001-10-01\""},
      {"0/10", "0/10/1", ",", "null,\"announced_on\":null"},
      {"10000/1", "9999/12/31", ",9999-12-31", "null,\"announced_on\":\"9999-12-31\""},
      {"2024/-3", "2025/13/1", ",", "null,\"announced_on\":null"},
      {"2025/0", "2025/2/30", ",", "null,\"announced_on\":null"},
      {"-1/1", "2024/2/29", ",2024-02-29", "null,\"announced_on\":\"2024-02-29\""},
      {"2024/1", "2100/2/29", "2024-01,", "\"2024-01\",\"announced_on\":null"},
      {"2024/1", "2000/2/29", "2024-01,2000-02-29", "\"2024-01\",\"announced_on\":\"2000-02-29\""},
      {"2024/1", "2025/4/31", "2024-01,", "\"2024-01\",\"announced_on\":null"},
      {"2024/1", "2025/1/0", "2024-01,", "\"2024-01\",\"announced_on\":null"},
      // The sweep's placeholders for a page without the date.
      {"1900/1", "1900/1/1", ",", "null,\"announced_on\":null"},
      {"1900/2", "1900/1/2", "1900-02,1900-01-02", "\"1900-02\",\"announced_on\":\"1900-01-02\""},
  };
  for (const Case& c : cases) {
    tidy::BlockReader reader;
    tidy::Line line;
    line.text = "1301,x,1";
    reader.line(line);
    tidy::BlockReader::Result result = tidy::BlockReader::Result::More;
    for (int item = 1; item <= ItemCount; ++item) {
      std::string text = report_item(item).label + std::string(",") +
                         (item == 1   ? c.end
                          : item == 2 ? c.announced
                                      : zero(item));
      line.text = text;
      result = reader.line(line);
    }
    ASSERT_EQ(result, tidy::BlockReader::Result::Block) << reader.message();
    const std::string csv = block_rows(reader.block(), Format::Csv, Encoding::Utf8);
    const std::string jsonl = block_rows(reader.block(), Format::Jsonl, Encoding::Utf8);
    EXPECT_EQ(csv.substr(9, csv.find(",0,") - 9), c.csv) << csv;
    const size_t at = jsonl.find("\"period_end\":") + 13;
    EXPECT_EQ(jsonl.substr(at, jsonl.find(",\"months\"") - at), c.jsonl) << jsonl;
  }
}

TEST(Rows, HeaderLines) {
  struct Case {
    const char* label;
    Format format;
    Encoding encoding;
    Header header;
    std::string start;  // up to the fourth column
    bool history = false;
  } cases[] = {
      {"csv_en", Format::Csv, Encoding::Utf8, Header::En, "code,name,period,period_end,"},
      {"tsv_en_bom", Format::Tsv, Encoding::Utf8Bom, Header::En,
       "\xEF\xBB\xBF"
       "code\tname\tperiod\tperiod_end\t"},
      {"csv_ja", Format::Csv, Encoding::Utf8, Header::Ja, "証券コード,会社名,期,決算年月日,"},
      {"csv_ja_cp932", Format::Csv, Encoding::Cp932, Header::Ja,
       "\x8F\xD8\x8C\x94\x83\x52\x81\x5B\x83\x68,\x89\xEF\x8E\xD0\x96\xBC,\x8A\xFA,"
       "\x8C\x88\x8E\x5A\x94\x4E\x8C\x8E\x93\xFA,"},
      {"csv_none", Format::Csv, Encoding::Utf8, Header::None, ""},
      {"csv_none_bom", Format::Csv, Encoding::Utf8Bom, Header::None, "\xEF\xBB\xBF"},
      {"jsonl_has_no_header", Format::Jsonl, Encoding::Utf8, Header::En, ""},
      {"jsonl_bom", Format::Jsonl, Encoding::Utf8Bom, Header::Ja, "\xEF\xBB\xBF"},
      {"tsv_ja_history", Format::Tsv, Encoding::Utf8, Header::Ja,
       "証券コード\t会社名\t出典\t修正数\t決算年月日\t", true},
  };
  for (const Case& c : cases) {
    const tidy::Table& table = c.history ? tidy::history_table() : tidy::sweep_table();
    const std::string out = written(table, c.format, c.encoding, c.header);
    EXPECT_EQ(out.substr(0, c.start.size()), c.start) << c.label;
    size_t lines = 0, delimiters = 0;
    for (char ch : out) {
      lines += ch == '\n';
      delimiters += ch == (c.format == Format::Tsv ? '\t' : ',');
    }
    bool has_header = c.format != Format::Jsonl && c.header != Header::None;
    EXPECT_EQ(lines, has_header ? 1u : 0u) << c.label;
    // The text formats leave fiscal_period out: the columns of today, by name and position; a
    // history's split factor and adjusted per-share figures come after them.
    EXPECT_EQ(delimiters, has_header ? 2u + ItemCount + (c.history ? 6u : 0u) : 0u) << c.label;
  }
}

// A history's sweep is a file name in UTF-8: in Shift_JIS output its characters are converted.
TEST(Rows, HistorySweepAndRevised) {
  tidy::Block block = block_named("x");
  tidy::Fields fields;
  for (int item = 1; item <= ItemCount; ++item) fields[item - 1] = block.field(item, 0);
  auto row = [&](std::string_view sweep, std::string_view revised) {
    std::vector<Cell> cells{tidy::figure_cell("1301"), tidy::sjis_cell("x"), tidy::utf8_cell(sweep),
                            tidy::figure_cell(revised)};
    cells.resize(tidy::history_table().columns.size());
    static std::string fiscal;
    tidy::item_cells(fields, fiscal, &cells[4]);
    return std::vector<std::vector<Cell>>{cells};
  };
  const std::string jsonl =
      written(tidy::history_table(), Format::Jsonl, Encoding::Cp932, Header::None,
              row("2025年/\x8C\x88\x8E\x5A/\xF0\x9F\x98\x80.csv", ""));
  const std::string csv = written(tidy::history_table(), Format::Csv, Encoding::Utf8, Header::None,
                                  row("a,b.csv", "3"));
  EXPECT_EQ(
      jsonl,
      "{\"code\":1301,\"name\":\"x\",\"sweep\":\"2025\x94\x4E/???Z/?.csv\",\"revised\":null," +
          std::string(JsonFigures)
              .insert(std::string(JsonFigures).size() - 2,
                      ",\"split_factor\":null,\"eps_adjusted\":null,\"diluted_eps_adjusted\":null,"
                      "\"dividend_per_share_adjusted\":null,\"equity_per_share_adjusted\":null"));
  EXPECT_EQ(csv, "1301,x,\"a,b.csv\",3," + std::string(Figures) + ",,,,,\n");
}

// The usage text's column list, a whole word for each column.
TEST(Usage, NamesEveryColumn) {
  const std::string usage = tidy::Usage;
  auto word_char = [](char c) { return (c >= 'a' && c <= 'z') || c == '_'; };
  for (const tidy::Column& column : tidy::sweep_table().columns) {
    const std::string& name = column.name;
    bool named = false;
    for (size_t at = usage.find(name, usage.find("Columns:")); !named && at != std::string::npos;
         at = usage.find(name, at + 1)) {
      named = !word_char(usage[at - 1]) && !word_char(usage[at + name.size()]);
    }
    EXPECT_TRUE(named) << name;
  }
}

}  // namespace
