#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

struct TextCase {
  const char* label;
  std::string sjis;
  std::string utf8;
  std::string checked;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.label; }

class SjisText : public testing::TestWithParam<TextCase> {};

TEST_P(SjisText, ConvertsUnitByUnit) {
  const TextCase& c = GetParam();
  std::string utf8 = "<";
  append_sjis_as_utf8(utf8, c.sjis);
  EXPECT_EQ(utf8, "<" + c.utf8);
  std::string checked = "<";
  append_sjis_checked(checked, c.sjis);
  EXPECT_EQ(checked, "<" + c.checked);
}

#define FFFD "\xEF\xBF\xBD"

INSTANTIATE_TEST_SUITE_P(
    Cases, SjisText,
    testing::Values(
        TextCase{"empty", "", "", ""},
        TextCase{"ascii_with_backslash_and_tilde", "a\\~,\"", "a\\~,\"", "a\\~,\""},
        TextCase{"nul_and_controls", std::string("a\0\x1F\x7F", 4), std::string("a\0\x1F\x7F", 4),
                 std::string("a\0\x1F\x7F", 4)},
        // ｶﾅ (half-width katakana), 〓 (81 AC), 表 (trail 5C)
        TextCase{"half_width_katakana", "\xB6\xC5", "\xEF\xBD\xB6\xEF\xBE\x85", "\xB6\xC5"},
        TextCase{"geta_mark", "\x81\xAC", "\xE3\x80\x93", "\x81\xAC"},
        TextCase{"trail_byte_5c", "\x95\x5C", "\xE8\xA1\xA8", "\x95\x5C"},
        // 纊 as the NEC-selected (ED 40) and as the IBM (FA 5C) extension: one character, and
        // the checked text keeps each one's bytes.
        TextCase{"nec_and_ibm_duplicates", "\xED\x40\xFA\x5C", "\xE7\xBA\x8A\xE7\xBA\x8A",
                 "\xED\x40\xFA\x5C"},
        TextCase{"bytes_outside_every_unit", "\x80\xA0\xFD\xFE\xFF", FFFD FFFD FFFD FFFD FFFD,
                 "?????"},
        TextCase{"lone_lead_at_the_end", "\xB6\x82", "\xEF\xBD\xB6" FFFD, "\xB6?"},
        TextCase{"lead_before_a_non_trail_byte", "\x82 x\x82\x7F", FFFD " x" FFFD "\x7F",
                 "? x?\x7F"},
        // 82 82 A0 is ｂ (82 82) and A0, not a lead and あ (82 A0).
        TextCase{"pairs_are_taken_from_the_left", "\x82\x82\xA0", "\xEF\xBD\x82" FFFD, "\x82\x82?"},
        TextCase{"unassigned_pair",
                 "\x85\x40"
                 "a",
                 FFFD "a", "?a"},
        TextCase{"half_width_katakana_geta_and_invalid_in_a_name",
                 "\xB6\xC5\x81\xAC\x8F\xA4\x8E\x96\x80",
                 "\xEF\xBD\xB6\xEF\xBE\x85\xE3\x80\x93"
                 "\xE5\x95\x86\xE4\xBA\x8B" FFFD,
                 "\xB6\xC5\x81\xAC\x8F\xA4\x8E\x96?"}));

}  // namespace

namespace {

char32_t code_point(const std::string& utf8) {
  const auto b = [&](size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(utf8[i]));
  };
  if (utf8.size() == 1) return b(0);
  if (utf8.size() == 2) return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
  return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
}

// Every unit with a character comes back from its code point as a unit of the same character;
// of a character with several units, as the one code page 932 writes.
TEST(SjisText, ComesBackFromEveryCodePoint) {
  std::map<std::string, std::string> chosen;
  int characters = 0;
  for (int unit = 0; unit < 0x10000; ++unit) {
    std::string sjis;
    if (unit > 0xFF) sjis += static_cast<char>(unit >> 8);
    sjis += static_cast<char>(unit & 0xFF);
    if (sjis_unit_length(sjis) != sjis.size()) continue;
    std::string utf8;
    append_sjis_as_utf8(utf8, sjis);
    if (utf8 == FFFD) continue;
    ++characters;
    std::string back;
    ASSERT_TRUE(append_code_point_as_sjis(back, code_point(utf8))) << utf8;
    std::string again;
    append_sjis_as_utf8(again, back);
    EXPECT_EQ(again, utf8);
    if (back != sjis) chosen[sjis] = back;
  }
  EXPECT_GT(characters, 7900);
  // ∵ (JIS X 0208 over NEC row 13 and IBM), Ⅰ (NEC row 13 over IBM), 纊 (IBM over NEC-selected).
  const std::pair<std::string, std::string> rows[] = {{"\x87\x9A", "\x81\xE6"},
                                                      {"\xFA\x5B", "\x81\xE6"},
                                                      {"\xFA\x4A", "\x87\x54"},
                                                      {"\xED\x40", "\xFA\x5C"}};
  for (const auto& [unit, written] : rows) EXPECT_EQ(chosen[unit], written);
}

// Any bytes as a file name's text: only well-formed UTF-8 goes through.
TEST(Utf8Text, ReplacesWhatIsNotACharacter) {
  struct Case {
    std::string in, out, xml;
  } cases[] = {
      {"a\xC3\xA9\xE6\xB1\xBA\xF0\x9F\x98\x80", "a\xC3\xA9\xE6\xB1\xBA\xF0\x9F\x98\x80", ""},
      {"\x8C\x88\x8E\x5A/r.csv", FFFD FFFD FFFD "Z/r.csv", ""},  // Shift_JIS 決算
      {"caf\xE9", "caf" FFFD, ""},                               // Latin-1
      {"\xC0\x80\xED\xA0\x80\xF4\x90\x80\x80",                   // overlong, surrogate, > U+10FFFF
       FFFD FFFD FFFD FFFD FFFD FFFD FFFD FFFD FFFD, ""},
      {"\xE6\xB1", FFFD FFFD, ""},  // cut short
      {"x\xEF\xBF\xBEy\xEF\xBF\xBF", "x\xEF\xBF\xBEy\xEF\xBF\xBF", "x" FFFD "y" FFFD},
  };
  for (const Case& c : cases) {
    std::string out, xml;
    append_valid_utf8(out, c.in);
    append_valid_utf8(xml, c.in, true);
    EXPECT_EQ(out, c.out) << c.in;
    EXPECT_EQ(xml, c.xml.empty() ? c.out : c.xml) << c.in;
  }
}

}  // namespace
