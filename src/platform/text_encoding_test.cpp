#include "platform/text_encoding.h"

#include <gtest/gtest.h>

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
