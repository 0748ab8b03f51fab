#include "run/period.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string report(const PeriodTable& table, int n) {
  FILE* stream = tmpfile();
  write_report(stream, &table, n);
  std::string out;
  rewind(stream);
  for (int c; (c = fgetc(stream)) != EOF;) out += static_cast<char>(c);
  fclose(stream);
  return out;
}

std::vector<std::string> rows(const std::string& block) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = block.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(block.substr(start, end - start));
  EXPECT_EQ(start, block.size()) << "the block ends with a line end";
  return lines;
}

PeriodRecord sample() {
  PeriodTable table;
  reset_period_table(&table);
  PeriodRecord r = table.period[0];
  r.period_end.tm_year = 2024 - 1900;
  r.period_end.tm_mon = 2;
  r.announced_on.tm_year = 2024 - 1900;
  r.announced_on.tm_mon = 4;
  r.announced_on.tm_mday = 18;
  r.months = 12;
  r.net_sales = 1000e6;
  r.operating_income = -2500;
  r.ordinary_income = 0.5;  // halves round to even
  r.net_income = 1.5;
  r.eps = 12.5;
  r.diluted_eps = -0.125;
  r.dividend_per_share = 30;
  r.dividend_class = 7;  // never shown
  r.equity_per_share = 1234.567;
  r.shares_issued = 5000;
  r.total_assets = 123456789012.0;
  r.shareholders_equity = 4;
  r.capital_stock = 5;
  r.interest_bearing_debt = 6;
  r.retained_earnings = -7;
  r.equity_ratio = 45.3;
  r.unrealized_gains = 9;
  r.roa = 1.005;
  r.roe = 10;
  r.ordinary_roa = -3.3;
  return r;
}

TEST(WriteReport, OnePeriodRowByRow) {
  PeriodTable table;
  reset_period_table(&table);
  table.period[0] = sample();
  const std::vector<std::string> expected = {
      "\x8C\x88\x8E\x5A\x94\x4E\x8C\x8E\x93\xFA,2024/3",                     // 決算年月日
      "\x81\x69\x8C\x88\x8E\x5A\x94\xAD\x95\x5C\x93\xFA\x81\x6A,2024/5/18",  // （決算発表日）
      "\x8C\x88\x8E\x5A\x8C\x8E\x90\x94,12",                                 // 決算月数
      "\x94\x84\x8F\xE3\x8D\x82,1000000000",                                 // 売上高
      "\x89\x63\x8B\xC6\x97\x98\x89\x76,-2500",                              // 営業利益
      "\x8C\x6F\x8F\xED\x97\x98\x89\x76,0",                                  // 経常利益
      "\x93\x96\x8A\xFA\x97\x98\x89\x76,2",                                  // 当期利益
      "1\x8A\x94\x93\x96\x82\xE8\x93\x96\x8A\xFA\x97\x98\x89\x76,12.50",  // 1株当り当期利益
      "\x92\xB2\x90\xAE\x31\x8A\x94\x93\x96\x82\xE8\x97\x98\x89\x76,-0.12",  // 調整1株当り利益
      "1\x8A\x94\x93\x96\x82\xE8\x94\x7A\x93\x96,30.00",                     // 1株当り配当
      "\x94\x7A\x93\x96\x8B\xE6\x95\xAA,0",                                  // 配当区分
      "1\x8A\x94\x93\x96\x82\xE8\x8A\x94\x8E\xE5\x8E\x91\x96\x7B,1234.57",  // 1株当り株主資本
      "\x94\xAD\x8D\x73\x8D\xCF\x82\xDD\x8A\x94\x8E\xAE\x91\x8D\x90\x94,5000",  // 発行済み株式総数
      "\x91\x8D\x8E\x91\x8E\x59,123456789012",                                  // 総資産
      "\x8A\x94\x8E\xE5\x8E\x91\x96\x7B,4",                                     // 株主資本
      "\x8E\x91\x96\x7B\x8B\xE0,5",                                             // 資本金
      "\x97\x4C\x97\x98\x8E\x71\x95\x89\x8D\xC2,6",                             // 有利子負債
      "\x8C\x4A\x89\x7A\x91\xB9\x89\x76,-7",                                    // 繰越損益
      "\x8A\x94\x8E\xE5\x8E\x91\x96\x7B\x94\xE4\x97\xA6,45",             // 株主資本比率
      "\x8A\xDC\x82\xDD\x91\xB9\x89\x76,9",                              // 含み損益
      "\x91\x8D\x8E\x91\x8E\x59\x97\x98\x89\x76\x97\xA6,1.00",           // 総資産利益率
      "\x8E\xA9\x8C\xC8\x8E\x91\x96\x7B\x97\x98\x89\x76\x97\xA6,10.00",  // 自己資本利益率
      "\x91\x8D\x8E\x91\x8E\x59\x8C\x6F\x8F\xED\x97\x98\x89\x76\x97\xA6,-3.30",  // 総資産経常利益率
  };
  EXPECT_EQ(rows(report(table, 1)), expected);
}

TEST(WriteReport, OneFieldPerPeriodAndNeverMoreThanThree) {
  PeriodTable table;
  reset_period_table(&table);
  table.period[0].months = 12;
  table.period[1].months = 6;
  table.period[2].months = 3;
  for (int n : {2, 3, 4, 100}) {
    std::vector<std::string> lines = rows(report(table, n));
    ASSERT_EQ(lines.size(), 23u) << n;
    int shown = n < 3 ? n : 3;
    for (const std::string& line : lines) {
      EXPECT_EQ(std::count(line.begin(), line.end(), ','), shown) << n << ": " << line;
    }
    EXPECT_EQ(lines[2],
              std::string("\x8C\x88\x8E\x5A\x8C\x8E\x90\x94") + (n == 2 ? ",12,6" : ",12,6,3"));
  }
}

TEST(WriteReport, EmptyRecordShowsTheDateDefaults) {
  PeriodTable table;
  reset_period_table(&table);
  table.period[0].dividend_class = 99;
  std::vector<std::string> lines = rows(report(table, 1));
  ASSERT_EQ(lines.size(), 23u);
  EXPECT_EQ(lines[0].substr(lines[0].find(',')), ",1900/1");
  EXPECT_EQ(lines[1].substr(lines[1].find(',')), ",1900/1/1");
  for (size_t i = 2; i < lines.size(); ++i) {
    std::string field = lines[i].substr(lines[i].find(','));
    EXPECT_TRUE(field == ",0" || field == ",0.00") << i + 1 << ": " << field;
  }
}

TEST(WriteReport, ExtremeYearsPrintWithoutOverflow) {
  PeriodTable table;
  reset_period_table(&table);
  table.period[0].period_end.tm_year = INT32_MAX;
  table.period[0].announced_on.tm_mon = INT32_MAX;
  std::vector<std::string> lines = rows(report(table, 1));
  EXPECT_EQ(lines[0].substr(lines[0].find(',')), ",2147485547/1");
  EXPECT_EQ(lines[1].substr(lines[1].find(',')), ",1900/2147483648/1");
}

// The C library's conversions, exact and rounding halves to even, on every platform.
TEST(WriteReport, NumbersAreCorrectlyRounded) {
  PeriodTable table;
  reset_period_table(&table);
  PeriodRecord& r = table.period[0];
  r.net_sales = 1e23;
  r.operating_income = 123456789012345678901234.0;
  r.ordinary_income = 2.5;
  r.net_income = 3.5;
  r.eps = 0.125;
  r.diluted_eps = 0.375;
  r.dividend_per_share = 2.675;  // just below 2.675
  std::vector<std::string> lines = rows(report(table, 1));
  auto field = [&](int item) { return lines[item - 1].substr(lines[item - 1].find(',') + 1); };
  EXPECT_EQ(field(4), "99999999999999991611392");
  EXPECT_EQ(field(5), "123456789012345685803008");
  EXPECT_EQ(field(6), "2");
  EXPECT_EQ(field(7), "4");
  EXPECT_EQ(field(8), "0.12");
  EXPECT_EQ(field(9), "0.38");
  EXPECT_EQ(field(10), "2.67");
}

}  // namespace
