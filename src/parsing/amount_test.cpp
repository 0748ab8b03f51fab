#include "parsing/amount.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Int32Min = std::numeric_limits<int32_t>::min();

// Shift_JIS texts of the unit characters, for building cell texts.
#define HYAKU "\x95\x53"          // 百
#define MAN "\x96\x9C"            // 万
#define SEN "\x90\xE7"            // 千
#define EN "\x89\x7E"             // 円
#define KABU "\x8A\x94"           // 株
#define SHIRO_SANKAKU "\x81\xA2"  // △
#define KURO_SANKAKU "\x81\xA3"   // ▲
#define NEN "\x94\x4E"            // 年
#define GATSU "\x8C\x8E"          // 月
#define NICHI "\x93\xFA"          // 日
#define KI "\x8A\xFA"             // 期

struct AmountCase {
  const char* label;
  std::string text;
  double value;
};

// Test names and failure messages show the case by its label.
void PrintTo(const AmountCase& c, std::ostream* os) { *os << c.label; }

class ParseAmount : public testing::TestWithParam<AmountCase> {};

TEST_P(ParseAmount, ReadsTheCellText) {
  const AmountCase& c = GetParam();
  const double value = parse_amount(c.text.c_str());
  EXPECT_DOUBLE_EQ(value, c.value);
  // -0 prints as "-0": the sign of a zero shows.
  EXPECT_EQ(std::signbit(value), std::signbit(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseAmount,
    testing::Values(
        AmountCase{"empty", "", 0}, AmountCase{"plain", "12", 12},
        AmountCase{"grouped", "1,000", 1000}, AmountCase{"point", "12.5", 12.5},
        AmountCase{"minus", "-1,000", -1000}, AmountCase{"plus", "+7", 7},
        AmountCase{"percent_skipped", "45.3%", 45.3},
        AmountCase{"full_width_dash", "\x81\x7C", 0},            // －
        AmountCase{"full_width_digits", "\x82\x50\x82\x51", 0},  // １２
        AmountCase{"letters_only", "n/a", 0},
        // 5百万円, 5千株, 3万, 1,000百万円
        AmountCase{"hyaku_man_en", "5" HYAKU MAN EN, 5000000},
        AmountCase{"sen_kabu", "5" SEN KABU, 5000}, AmountCase{"man", "3" MAN, 30000},
        AmountCase{"thousand_million", "1,000" HYAKU MAN EN, 1e9},
        // Multipliers compound and apply wherever they stand: 千百 → 100000, 百5 → 500.
        AmountCase{"compound_sen_hyaku", "2" SEN HYAKU, 200000},
        AmountCase{"multiplier_before_digits", HYAKU "5", 500},
        AmountCase{"multiplier_between_digits", "1" SEN "2", 12000},
        AmountCase{"multiplier_without_digits", HYAKU MAN EN, 0},
        // A sign or point after the digits ends the number that is read.
        AmountCase{"minus_after_digits", "1,000-5", 1000},
        AmountCase{"plus_after_digits", "12+3", 12}, AmountCase{"second_point", "1.2.3", 1.2},
        // Signs and points without a number read as +0 with every C library; -0 stays -0.
        AmountCase{"sign_twice", "--5", 0}, AmountCase{"dash_dash", "--", 0},
        AmountCase{"minus_point", "-.", 0}, AmountCase{"minus_plus", "-+", 0},
        AmountCase{"minus_point_point", "-..5", 0}, AmountCase{"minus_zero", "-0", -0.0},
        AmountCase{"minus_point_zero", "-.0", -0.0},
        AmountCase{"triangle_zero", SHIRO_SANKAKU "0" HYAKU MAN EN, -0.0},
        // △ and ▲ are minus signs: △1,000, ▲2.5, △5百万円.
        AmountCase{"white_triangle", SHIRO_SANKAKU "1,000", -1000},
        AmountCase{"black_triangle", KURO_SANKAKU "2.5", -2.5},
        AmountCase{"triangle_with_units", SHIRO_SANKAKU "5" HYAKU MAN EN, -5000000},
        AmountCase{"triangle_after_digits", "12" SHIRO_SANKAKU, 12},
        // A lone 0x81 before another byte is skipped by itself: the digit after it is kept.
        AmountCase{"lead_81_before_digit",
                   "\x81"
                   "5",
                   5},
        AmountCase{"lead_81_before_other_pair_byte",
                   "\x81\xA1"
                   "5",
                   5},
        // The walk goes byte by byte: in 81 95 53 the bytes 95 53 read as 百.
        AmountCase{"walk_resyncs_inside_other_pair", "2\x81\x95\x53", 200},
        // A lone unit lead byte at the end is just skipped.
        AmountCase{"lone_unit_lead_at_end", "7\x95", 7}),
    [](const testing::TestParamInfo<AmountCase>& info) { return info.param.label; });

TEST(ParseAmountLimits, SixtyThreeDigitsAreReadWhole) {
  const std::string nines(63, '9');
  EXPECT_DOUBLE_EQ(parse_amount(nines.c_str()), 1e63);
}

TEST(ParseAmountLimits, SixtyThreeSignsAndPointsFitTheNumberText) {
  const std::string points = "1" + std::string(62, '.');
  EXPECT_DOUBLE_EQ(parse_amount(points.c_str()), 1.0);
}

TEST(ParseAmountLimits, ManyMultipliersStayFinite) {
  std::string text = "9";
  for (int i = 0; i < 31; ++i) text += MAN;  // 63 bytes: 9 × 10000^31
  const double value = parse_amount(text.c_str());
  EXPECT_TRUE(std::isfinite(value));
  EXPECT_NEAR(value / 9e124, 1.0, 1e-12);
}

struct TruncationCase {
  const char* label;
  double value;
  int32_t months;
};

void PrintTo(const TruncationCase& c, std::ostream* os) { *os << c.label; }

class TruncateToInt32 : public testing::TestWithParam<TruncationCase> {};

TEST_P(TruncateToInt32, TruncatesTowardZeroAndClamps) {
  EXPECT_EQ(truncate_to_int32(GetParam().value), GetParam().months);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TruncateToInt32,
    testing::Values(
        TruncationCase{"whole", 12, 12}, TruncationCase{"fraction", 12.9, 12},
        TruncationCase{"negative_fraction", -12.9, -12}, TruncationCase{"below_one", 0.99, 0},
        TruncationCase{"above_minus_one", -0.5, 0}, TruncationCase{"max", 2147483647.0, Int32Max},
        TruncationCase{"just_above_max", 2147483647.75, Int32Max},
        TruncationCase{"huge", 1e63, Int32Max}, TruncationCase{"min", -2147483648.0, Int32Min},
        TruncationCase{"huge_negative", -1e63, Int32Min},
        TruncationCase{"infinity", std::numeric_limits<double>::infinity(), Int32Max},
        TruncationCase{"minus_infinity", -std::numeric_limits<double>::infinity(), Int32Min},
        TruncationCase{"nan", std::numeric_limits<double>::quiet_NaN(), 0}),
    [](const testing::TestParamInfo<TruncationCase>& info) { return info.param.label; });

struct DateCase {
  const char* label;
  std::string text;
  int32_t tm_year, tm_mon, tm_mday;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << c.label; }

class ParsePeriodDate : public testing::TestWithParam<DateCase> {};

TEST_P(ParsePeriodDate, WritesTheDateAtNoon) {
  const DateCase& c = GetParam();
  CalendarTime time;
  time.tm_sec = time.tm_min = time.tm_hour = time.tm_mday = time.tm_mon = time.tm_year = -77;
  time.tm_wday = 101;
  time.tm_yday = 102;
  time.tm_isdst = 103;
  parse_period_date(c.text.c_str(), &time);
  EXPECT_EQ(time.tm_year, c.tm_year);
  EXPECT_EQ(time.tm_mon, c.tm_mon);
  EXPECT_EQ(time.tm_mday, c.tm_mday);
  EXPECT_EQ(time.tm_hour, 12);
  EXPECT_EQ(time.tm_min, 0);
  EXPECT_EQ(time.tm_sec, 0);
  // The last three fields are not written.
  EXPECT_EQ(time.tm_wday, 101);
  EXPECT_EQ(time.tm_yday, 102);
  EXPECT_EQ(time.tm_isdst, 103);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParsePeriodDate,
    testing::Values(DateCase{"empty_gives_defaults", "", 0, 0, 1},
                    // 2003年5月18日
                    DateCase{"full_date", "2003" NEN "5" GATSU "18" NICHI, 103, 4, 18},
                    // 2003年3月期: the day keeps its default.
                    DateCase{"period_cell", "2003" NEN "3" GATSU KI, 103, 2, 1},
                    // 2003年3月 31: digits without a unit after them are ignored.
                    DateCase{"trailing_digits_ignored", "2003" NEN "3" GATSU "31", 103, 2, 1},
                    DateCase{"slashes_give_defaults", "2003/05/18", 0, 0, 1},
                    DateCase{"digits_only_give_defaults", "20030518", 0, 0, 1},
                    // 2003年2004年: a unit met twice overwrites.
                    DateCase{"year_twice", "2003" NEN "2004" NEN, 104, 0, 1},
                    DateCase{"month_twice", "4" GATSU "9" GATSU, 0, 8, 1},
                    DateCase{"comma_skipped", "2,003" NEN, 103, 0, 1},
                    DateCase{"point_keeps_whole_part", "2003.7" NEN, 103, 0, 1},
                    DateCase{"negative_year", "-5" NEN, -1905, 0, 1},
                    DateCase{"sign_then_sign_reads_zero", "+-5" NEN, -1900, 0, 1},
                    // 月 with no number before it: month 0.
                    DateCase{"unit_without_number", GATSU, 0, -1, 1},
                    DateCase{"day_zero", "0" NICHI, 0, 0, 0},
                    // Triangles are no sign for dates: △5年 → year 5.
                    DateCase{"triangle_is_not_a_sign", SHIRO_SANKAKU "5" NEN, -1895, 0, 1},
                    // 年 split by another byte is no unit.
                    DateCase{"broken_pair",
                             "2003\x94"
                             "x\x4E",
                             0, 0, 1},
                    // Out-of-range numbers saturate, and the arithmetic on them clamps.
                    DateCase{"year_overflows", "99999999999" NEN, Int32Max - 1900, 0, 1},
                    DateCase{"year_max", "2147483647" NEN, Int32Max - 1900, 0, 1},
                    DateCase{"year_underflows", "-99999999999" NEN, Int32Min, 0, 1},
                    DateCase{"year_min_plus_1900", "-2147481748" NEN, Int32Min, 0, 1},
                    DateCase{"month_min", "-2147483648" GATSU, 0, Int32Min, 1},
                    DateCase{"month_below_min", "-2147483649" GATSU, 0, Int32Min, 1},
                    DateCase{"month_max", "2147483647" GATSU, 0, Int32Max - 1, 1},
                    DateCase{"day_overflows", "4294967297" NICHI, 0, 0, Int32Max},
                    DateCase{"sixty_digit_day", std::string(60, '9') + NICHI, 0, 0, Int32Max}),
    [](const testing::TestParamInfo<DateCase>& info) { return info.param.label; });

}  // namespace
