// The block grammar through whole runs: what is accepted and converted, and each refusal with
// its message and exit code.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tidy/convert.h"

namespace {

using tidy::Options;

struct Ran {
  int exit;
  std::string out;
  std::string messages;
};

// Runs over named inputs held in memory, read back five bytes at a time.
// Inputs named in missing cannot be opened.
Ran run(const std::vector<std::pair<std::string, std::string>>& inputs, bool keep_going,
        const std::vector<std::string>& missing = {}) {
  Options options;
  options.header = tidy::Header::None;
  options.keep_going = keep_going;
  std::map<std::string, std::string> files;
  for (const auto& [name, text] : inputs) {
    options.inputs.push_back(name);
    files[name] = text;
  }
  options.inputs.insert(options.inputs.end(), missing.begin(), missing.end());
  Ran ran{0, "", ""};
  tidy::Io io;
  io.open = [&](const std::string& name, tidy::Source& source, bool& again, std::string& reason) {
    again = true;
    auto found = files.find(name);
    if (found == files.end()) {
      reason = "No such file or directory";
      return false;
    }
    source = [text = found->second, at = size_t{0}](char* buffer, size_t size) mutable {
      size_t n = text.copy(buffer, std::min<size_t>(size, 5), at);
      at += n;
      return static_cast<long long>(n);
    };
    return true;
  };
  io.write = [&](std::string_view bytes) {
    ran.out += bytes;
    return true;
  };
  io.report = [&](const std::string& message) { ran.messages += message + "\n"; };
  ran.exit = tidy::convert(options, io);
  return ran;
}

// Rows 8-10, 12 and 21-23 print two decimals.
bool two_decimals(int item) { return (item >= 8 && item <= 10) || item == 12 || item >= 21; }

// A field of item 1..23 for period k as the sweep prints it, and as the table shows it.
std::string printed(int item, int k) {
  std::string year = std::to_string(2024 - k);
  if (item == 1) return year + "/3";
  if (item == 2) return year + "/5/9";
  if (item == 3) return "12";
  if (item == 11) return "0";
  if (two_decimals(item)) return std::to_string(item) + ".0" + std::to_string(k);
  return "-" + std::to_string(item * 10 + k);
}

std::string shown(int item, int k) {
  std::string year = std::to_string(2024 - k);
  if (item == 1) return year + "-03";
  if (item == 2) return year + "-05-09";
  return printed(item, k);
}

// The summary line and the 23 rows of a company with periods fields a row.
std::string block(const std::string& code, const std::string& name, int periods,
                  const std::string& end = "\n") {
  std::string text = code + "," + name + "," + std::to_string(periods) + end;
  for (int item = 1; item <= ItemCount; ++item) {
    text += report_item(item).label;
    for (int k = 0; k < periods; ++k) text += "," + printed(item, k);
    text += end;
  }
  return text;
}

// The table's rows for that block; name as it is written in the table.
std::string rows(const std::string& code, const std::string& name, int periods) {
  std::string text;
  for (int k = 0; k < periods; ++k) {
    text += code + "," + name + "," + std::to_string(k + 1);
    for (int item = 1; item <= ItemCount; ++item) text += "," + shown(item, k);
    text += "\n";
  }
  return text;
}

// text with its line n (1-based, without its line end) replaced.
std::string with_line(const std::string& text, int n, const std::string& line) {
  size_t start = 0;
  for (int i = 1; i < n; ++i) start = text.find('\n', start) + 1;
  return text.substr(0, start) + line + text.substr(text.find('\n', start));
}

std::string line_of(const std::string& text, int n) {
  size_t start = 0;
  for (int i = 1; i < n; ++i) start = text.find('\n', start) + 1;
  return text.substr(start, text.find('\n', start) - start);
}

#define A "\x83\x41"                              // ア
#define EIGYO "\x89\x63\x8B\xC6\x97\x98\x89\x76"  // 営業利益

TEST(BlockGrammar, CopiesTheFiguresAsPrinted) {
  std::string input = "1302," A ",1\n";
  const char* const fields[] = {"2024/12",
                                "2025/2/10",
                                "12",
                                "5230114000",
                                "-12400000",
                                "-0",
                                "-20113000",
                                "-3.52",
                                "-0.00",
                                "0.00",
                                "0",
                                "412.07",
                                "5700000",
                                "3012500000",
                                "2348900000",
                                "490000000",
                                "0",
                                "1102330000",
                                "78",
                                "0",
                                "-0.67",
                                "-0.86",
                                "123456789012345678901234567890.25"};
  for (int item = 1; item <= ItemCount; ++item) {
    input += report_item(item).label + std::string(",") + fields[item - 1] + "\n";
  }
  Ran ran = run({{"in", input}}, false);
  EXPECT_EQ(ran.messages, "");
  EXPECT_EQ(ran.exit, tidy::Converted);
  EXPECT_EQ(ran.out,
            "1302,\xE3\x82\xA2,1,2024-12,2025-02-10,12,5230114000,-12400000,-0,-20113000,-3.52,"
            "-0.00,0.00,0,412.07,5700000,3012500000,2348900000,490000000,0,1102330000,78,0,-0.67,"
            "-0.86,123456789012345678901234567890.25\n");
}

struct Accepted {
  const char* label;
  std::vector<std::pair<std::string, std::string>> inputs;
  std::string out;
};

void PrintTo(const Accepted& c, std::ostream* os) { *os << c.label; }

class Accepts : public testing::TestWithParam<Accepted> {};

TEST_P(Accepts, EveryCompanyAndPeriod) {
  Ran ran = run(GetParam().inputs, false);
  EXPECT_EQ(ran.messages, "");
  EXPECT_EQ(ran.exit, tidy::Converted);
  EXPECT_EQ(ran.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Accepts,
    testing::Values(
        Accepted{"empty_input", {{"in", ""}}, ""},
        Accepted{"one_two_three_periods",
                 {{"in", block("1300", A, 1) + block("5000", A, 2) + block("9999", A, 3)}},
                 rows("1300", "\xE3\x82\xA2", 1) + rows("5000", "\xE3\x82\xA2", 2) +
                     rows("9999", "\xE3\x82\xA2", 3)},
        Accepted{"cr_lf_line_ends",
                 {{"in", block("1301", A, 2, "\r\n") + block("1302", A, 1, "\r\n")}},
                 rows("1301", "\xE3\x82\xA2", 2) + rows("1302", "\xE3\x82\xA2", 1)},
        Accepted{"several_inputs_one_after_another",
                 {{"one", block("1301", "x", 3)}, {"two", ""}, {"three", block("1301", "y", 1)}},
                 rows("1301", "x", 3) + rows("1301", "y", 1)},
        // The code ends at the first comma and the count starts after the last one.
        Accepted{"name_with_commas_and_quotes",
                 {{"in", block("1303", "a,\"b\",3", 2) + block("1304", ",", 1)}},
                 rows("1303", "\"a,\"\"b\"\",3\"", 2) + rows("1304", "\",\"", 1)},
        Accepted{"empty_name", {{"in", block("1305", "", 1)}}, rows("1305", "", 1)},
        Accepted{"blank_lines_between_and_after_blocks",
                 {{"in", "\n" + block("1306", A, 1) + "\r\n\n" + block("1307", A, 1) + "\n"}},
                 rows("1306", "\xE3\x82\xA2", 1) + rows("1307", "\xE3\x82\xA2", 1)}));

struct Refused {
  const char* label;
  std::string input;  // follows a good block of 1300 and comes before one of 9999
  std::string message;
  std::string kept = "";  // the rows converted from input when keeping going
};

void PrintTo(const Refused& c, std::ostream* os) { *os << c.label; }

const std::string Good = block("1310", A, 3);

class Refuses : public testing::TestWithParam<Refused> {};

// The first refusal ends the run: only the companies before it are written.
TEST_P(Refuses, StopsAtTheFirst) {
  const Refused& c = GetParam();
  Ran ran = run({{"first", block("1300", "a", 1)}, {"in", c.input + block("9999", "z", 1)}}, false);
  EXPECT_EQ(ran.messages, "kessan-tidy: in:" + c.message + "\n");
  EXPECT_EQ(ran.exit, tidy::Failed);
  EXPECT_EQ(ran.out, rows("1300", "a", 1));
}

// With --keep-going the bad block is skipped and the rest converted.
TEST_P(Refuses, SkipsTheBlockWhenKeepingGoing) {
  const Refused& c = GetParam();
  Ran ran = run({{"first", block("1300", "a", 1)}, {"in", c.input + block("9999", "z", 1)}}, true);
  EXPECT_EQ(ran.messages, "kessan-tidy: in:" + c.message + "\n");
  EXPECT_EQ(ran.exit, tidy::Skipped);
  EXPECT_EQ(ran.out, rows("1300", "a", 1) + c.kept + rows("9999", "z", 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refuses,
    testing::Values(
        Refused{"rows_out_of_order",
                with_line(with_line(Good, 6, line_of(Good, 7)), 7, line_of(Good, 6)),
                "6: expected row 5 (営業利益), found row 6 (経常利益)"},
        Refused{"unknown_label", with_line(Good, 6, "Operating,1,2,3"),
                "6: expected row 5 (営業利益), found \"Operating,1,2,3\""},
        Refused{"row_missing", with_line(Good, 24, ""),
                "24: expected row 23 (総資産経常利益率), found an empty line"},
        Refused{"fewer_fields", with_line(Good, 6, EIGYO ",1,2"),
                "6: row 5 (営業利益) has 2 fields, the summary line 1 says 3"},
        Refused{"more_fields", with_line(Good, 6, EIGYO ",1,2,3,4"),
                "6: row 5 (営業利益) has 4 fields, the summary line 1 says 3"},
        Refused{"code_below_1300", with_line(Good, 1, "1299,x,3"),
                "1: the code \"1299\" is not a four-digit code of 1300..9999"},
        Refused{"code_with_a_leading_zero", with_line(Good, 1, "0999,x,3"),
                "1: the code \"0999\" is not a four-digit code of 1300..9999"},
        Refused{"count_4", with_line(Good, 1, "1310,x,4"),
                "1: the period count \"4\" is not 1, 2 or 3"},
        Refused{"no_summary_line", Good.substr(Good.find('\n') + 1),
                "1: expected a summary line code,name,periods, found row 1 (決算年月日)"},
        Refused{"text_instead_of_a_summary_line", "hello\n",
                "1: expected a summary line code,name,periods, found \"hello\""},
        Refused{"whole_number_with_a_point", with_line(Good, 6, EIGYO ",1,2.5,3"),
                "6: row 5 (営業利益), period 2: \"2.5\" is not a whole number"},
        Refused{"whole_number_with_a_leading_zero", with_line(Good, 6, EIGYO ",1,2,03"),
                "6: row 5 (営業利益), period 3: \"03\" is not a whole number"},
        Refused{"one_decimal",
                with_line(Good, 9, report_item(8).label + std::string(",1.5,2.00,3.00")),
                "9: row 8 (1株当り当期利益), period 1: \"1.5\" is not a number with two decimals "
                "like -3.52"},
        Refused{"month_with_a_dash",
                with_line(Good, 2, report_item(1).label + std::string(",2024-3,2023/3,2022/3")),
                "2: row 1 (決算年月日), period 1: \"2024-3\" is not a year/month like 2024/12"},
        Refused{"date_without_a_day",
                with_line(Good, 3, report_item(2).label + std::string(",2024/5/9,2023/5,2022/5/9")),
                "3: row 2 (（決算発表日）), period 2: \"2023/5\" is not a year/month/day like "
                "2025/2/10"},
        Refused{"months_minus_zero",
                with_line(Good, 4, report_item(3).label + std::string(",12,-0,12")),
                "4: row 3 (決算月数), period 2: \"-0\" is not a whole number of 32 bits (and not "
                "-0)"},
        Refused{"dividend_class_not_0",
                with_line(Good, 12, report_item(11).label + std::string(",0,0,1")),
                "12: row 11 (配当区分), period 3: \"1\" is not 0, the only value the sweep prints "
                "there"},
        Refused{"control_bytes_escaped", with_line(Good, 6, "\x1B[2J\x7F\tx"),
                "6: expected row 5 (営業利益), found \"\\x1B[2J\\x7F\\x09x\""},
        Refused{"summary_line_twice", "1310,x,3\n" + Good,
                "2: summary line 1 is followed by another summary line instead of its rows: was "
                "standard error captured with standard output (2>&1)?"},
        Refused{"block_cut_short_by_a_summary_line", Good.substr(0, Good.find(EIGYO)) + Good,
                "6: expected row 5 (営業利益), found a summary line: the block of summary line 1 "
                "ends after row 4 (売上高)",
                rows("1310", "\xE3\x82\xA2", 3)},
        Refused{"line_too_long", std::string(70000, 'x') + "\n",
                "1: the line is longer than 65536 bytes: not the sweep's output"}));

// The numbers of rows 1..3 are ints as printf prints them (the year plus 1900, the month plus 1),
// row 11 is always 0; amounts can print as -0.
TEST(BlockGrammar, TakesOnlyNumbersTheSweepCanPrint) {
  const struct {
    int item;
    const char* field;
    bool taken;
  } cases[] = {
      {3, "2147483647", true},
      {3, "-2147483648", true},
      {3, "2147483648", false},
      {3, "-2147483649", false},
      {3, "-0", false},
      {3, "99999999999", false},
      {1, "2147485547/2147483648", true},
      {1, "-2147481748/-2147483647", true},
      {1, "2147485548/1", false},
      {1, "-2147481749/1", false},
      {1, "2024/-2147483648", false},
      {1, "-0/3", false},
      {1, "2024/-0", false},
      {2, "2025/2/-2147483648", true},
      {2, "2025/2/2147483648", false},
      {2, "2025/-0/1", false},
      {11, "0", true},
      {11, "-0", false},
      {11, "1", false},
      {4, "-0", true},
  };
  for (const auto& c : cases) {
    const std::string input = with_line(block("1300", "a", 1), c.item + 1,
                                        report_item(c.item).label + std::string(",") + c.field);
    Ran ran = run({{"in", input}}, false);
    EXPECT_EQ(ran.exit, c.taken ? tidy::Converted : tidy::Failed)
        << c.item << " " << c.field << ": " << ran.messages;
  }
}

TEST(BlockGrammar, RefusesAnInputThatEndsInsideABlock) {
  struct Case {
    const char* label;
    std::string input;
    std::string message;
  } cases[] = {
      {"after_the_summary_line", "1310,x,3\n",
       "in:26: the input ends inside the block of summary line 25, after its summary line (the "
       "sweep was stopped?)"},
      {"after_row_5", Good.substr(0, Good.find("\x8C\x6F\x8F\xED")),
       "in:31: the input ends inside the block of summary line 25, after row 5 (営業利益) (the "
       "sweep was stopped?)"},
      {"last_line_without_its_line_end", Good.substr(0, Good.size() - 1),
       "in:48: the line has no line end: the block of summary line 25 is cut off (the sweep was "
       "stopped?)"},
      {"summary_line_without_its_line_end", "1310,x,3",
       "in:25: the line has no line end: the last line is cut off (the sweep was stopped?)"},
  };
  for (const Case& c : cases) {
    for (bool keep_going : {false, true}) {
      // The next input is converted only when keeping going.
      Ran ran = run({{"in", Good + c.input}, {"next", block("9999", "z", 1)}}, keep_going);
      SCOPED_TRACE(c.label + std::string(keep_going ? ", keeping going" : ""));
      EXPECT_EQ(ran.messages, "kessan-tidy: " + c.message + "\n");
      EXPECT_EQ(ran.exit, keep_going ? tidy::Skipped : tidy::Failed);
      EXPECT_EQ(ran.out,
                rows("1310", "\xE3\x82\xA2", 3) + (keep_going ? rows("9999", "z", 1) : ""));
    }
  }
}

TEST(BlockGrammar, KeepsGoingPastEachBadBlock) {
  // Standard error captured with standard output: summary lines ahead of their blocks. The rows
  // after two summary lines may be either company's: skipped.
  std::string input = "1301,a,1\n1302,b,1\n" + block("1301", "a", 1) + block("1302", "b", 1) +
                      with_line(block("1303", "c", 2), 6, EIGYO ",5") + block("1304", "d", 1);
  Ran ran = run({{"in", input}}, true);
  EXPECT_EQ(ran.messages,
            "kessan-tidy: in:2: summary line 1 is followed by another summary line instead of its "
            "rows: was standard error captured with standard output (2>&1)?\n"
            "kessan-tidy: in:56: row 5 (営業利益) has 1 field, the summary line 51 says 2\n");
  EXPECT_EQ(ran.exit, tidy::Skipped);
  EXPECT_EQ(ran.out, rows("1302", "b", 1) + rows("1304", "d", 1));
}

TEST(BlockGrammar, AnInputThatCannotBeOpenedEndsTheRun) {
  for (bool keep_going : {false, true}) {
    Ran ran = run({{"in", block("1300", "a", 1)}}, keep_going, {"missing", "in"});
    EXPECT_EQ(ran.messages, "kessan-tidy: missing: cannot open: No such file or directory\n");
    EXPECT_EQ(ran.exit, tidy::Failed);
    EXPECT_EQ(ran.out, "");
  }
}

}  // namespace
