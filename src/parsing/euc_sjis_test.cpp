#include "parsing/euc_sjis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

namespace {

struct ConversionCase {
  const char* label;
  std::string euc;
  std::string sjis;
};

// Test names and failure messages show the case by its label.
void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.label; }

class EucToSjis : public testing::TestWithParam<ConversionCase> {};

TEST_P(EucToSjis, ConvertsPairByPairAndByteByByte) {
  const ConversionCase& c = GetParam();
  char out[64];
  memset(out, 'X', sizeof out);
  euc_to_sjis(c.euc.c_str(), out);
  EXPECT_EQ(std::string(out), c.sjis);
}

TEST_P(EucToSjis, BoundedFormWithRoomToSpareGivesTheSameText) {
  const ConversionCase& c = GetParam();
  char out[64];
  memset(out, 'X', sizeof out);
  EXPECT_EQ(euc_to_sjis_bounded(c.euc.c_str(), out, sizeof out), c.sjis.size());
  EXPECT_EQ(std::string(out), c.sjis);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EucToSjis,
    testing::Values(ConversionCase{"empty", "", ""},
                    ConversionCase{"ascii", "<TD> 1,000 </TD>", "<TD> 1,000 </TD>"},
                    ConversionCase{"kettei", "\xB7\xE8", "\x8C\x88"},                       // 決
                    ConversionCase{"nen", "\xC7\xAF", "\x94\x4E"},                          // 年
                    ConversionCase{"tsuki", "\xB7\xEE", "\x8C\x8E"},                        // 月
                    ConversionCase{"hi", "\xC6\xFC", "\x93\xFA"},                           // 日
                    ConversionCase{"parentheses", "\xA1\xCA\xA1\xCB", "\x81\x69\x81\x6A"},  // （）
                    ConversionCase{"hyaku_man_sen", "\xC9\xB4\xCB\xFC\xC0\xE9",
                                   "\x95\x53\x96\x9C\x90\xE7"},  // 百万千
                    ConversionCase{"triangles", "\xA2\xA4\xA2\xA5", "\x81\xA2\x81\xA3"},  // △▲
                    // 0x7F is skipped in the second byte: row 0x31 cell 0x60 gives 80, not 7F.
                    ConversionCase{"skips_7f", "\xB1\xE0", "\x89\x80"},
                    ConversionCase{"first_row_beyond_9f", "\xDF\xA1", "\xE0\x40"},
                    ConversionCase{"last_row", "\xFE\xFE", "\xEF\xFC"},
                    // Rows below 0x21 halve toward minus infinity: row 0x20 gives 80, not 81.
                    ConversionCase{"row_below_21_rounds_down", "\xA0\xA1", "\x80\x9F"},
                    ConversionCase{"row_zero", "\x80\x80", "\x70\x7D"},
                    // 2003年3月期 mixed with ASCII.
                    ConversionCase{"mixed",
                                   "2003\xC7\xAF"
                                   "3\xB7\xEE\xB4\xFC",
                                   "2003\x94\x4E"
                                   "3\x8C\x8E\x8A\xFA"},
                    // A lead byte takes the ASCII byte after it as its second byte.
                    ConversionCase{"lead_before_ascii", "\xA4\x41", "\x82\xBF"},
                    ConversionCase{"lead_before_ascii_then_ascii",
                                   "\xA4\x41"
                                   "B",
                                   "\x82\xBF"
                                   "B"},
                    // Half-width katakana: 8E and a byte in A1..DF give that byte alone.
                    ConversionCase{"katakana",
                                   "\x8E\xB1\x8E\xDF"
                                   "A",
                                   "\xB1\xDF"
                                   "A"},
                    ConversionCase{"8e_before_a0_is_a_pair", "\x8E\xA0", "\x77\x9E"},
                    ConversionCase{"8e_before_e0_is_a_pair", "\x8E\xE0", "\x77\xDE"},
                    // JIS X 0212 (鷗): the geta mark, and the （ after it is kept.
                    ConversionCase{"jis_x_0212", "\x8F\xEC\xBF\xA1\xCA", "\x81\xAC\x81\x69"},
                    ConversionCase{"8f_before_ascii_is_a_pair", "\x8F\x41", "\x78\x60"},
                    ConversionCase{"8f_third_byte_ascii", "\x8F\xB0\x41", "\x78\x4F\x41"},
                    ConversionCase{"8f_cut_after_one", "A\x8F\xB0", "A"},
                    ConversionCase{"8e_alone", "A\x8E", "A"},
                    // A lead byte with no second byte writes nothing.
                    ConversionCase{"lone_lead_alone", "\xB7", ""},
                    ConversionCase{"lone_lead_after_text", "AB\xB7\xE8\xC7", "AB\x8C\x88"}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return info.param.label; });

TEST(EucToSjisTerminator, NeverReadsOrWritesPastTheTerminator) {
  // The lone lead byte sits just before the terminator; the bytes after it must stay unread.
  const char source[] = {'A', '\xB7', '\0', '\xE8', 'Z', '\0'};
  char out[8];
  memset(out, 'X', sizeof out);
  euc_to_sjis(source, out);
  EXPECT_STREQ(out, "A");
  EXPECT_EQ(out[2], 'X');
}

struct BoundedCase {
  const char* label;
  std::string euc;
  size_t capacity;
  std::string sjis;
};

void PrintTo(const BoundedCase& c, std::ostream* os) { *os << c.label; }

class EucToSjisBounded : public testing::TestWithParam<BoundedCase> {};

TEST_P(EucToSjisBounded, StopsBeforeTheFirstUnitThatDoesNotFit) {
  const BoundedCase& c = GetParam();
  char out[16];
  memset(out, 'X', sizeof out);
  ASSERT_LE(c.capacity, sizeof out);
  EXPECT_EQ(euc_to_sjis_bounded(c.euc.c_str(), out, c.capacity), c.sjis.size());
  EXPECT_EQ(std::string(out), c.sjis);
  for (size_t i = c.capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], 'X') << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EucToSjisBounded,
    testing::Values(
        BoundedCase{"capacity_one_is_only_the_terminator", "AB", 1, ""},
        BoundedCase{"ascii_cut", "ABCDEF", 4, "ABC"}, BoundedCase{"ascii_exact", "ABC", 4, "ABC"},
        // AB決: the pair needs two bytes and only one is left.
        BoundedCase{"pair_not_split",
                    "AB\xB7\xE8"
                    "C",
                    4, "AB"},
        BoundedCase{"pair_just_fits",
                    "AB\xB7\xE8"
                    "C",
                    5, "AB\x8C\x88"},
        // The stop is final: the ASCII byte after the pair that did not fit is not taken.
        BoundedCase{"no_resume_after_stop",
                    "A\xB7\xE8"
                    "B",
                    3, "A"},
        // A half-width katakana byte is a unit of one byte, 〓 a unit of two.
        BoundedCase{"katakana_fits_one_byte", "AB\x8E\xB1\x8E\xB2", 4, "AB\xB1"},
        BoundedCase{"geta_not_split", "A\x8F\xEC\xBF", 3, "A"},
        BoundedCase{"geta_fits", "A\x8F\xEC\xBF", 4, "A\x81\xAC"}),
    [](const testing::TestParamInfo<BoundedCase>& info) { return info.param.label; });

TEST(EucToSjisBoundedLength, ConvertsOnlyTheGivenBytes) {
  // 決年<BR>: only the text before "<" is converted.
  const char source[] = "\xB7\xE8\xC7\xAF<BR>";
  char out[16];
  EXPECT_EQ(euc_to_sjis_bounded(source, 4, out, sizeof out), 4u);
  EXPECT_STREQ(out, "\x8C\x88\x94\x4E");
}

TEST(EucToSjisBoundedLength, PairCutByTheLengthIsALoneLeadByte) {
  // 決 then the lead byte of 年, whose second byte lies beyond the given length.
  const char source[] = "\xB7\xE8\xC7\xAF";
  char out[16];
  EXPECT_EQ(euc_to_sjis_bounded(source, 3, out, sizeof out), 2u);
  EXPECT_STREQ(out, "\x8C\x88");
}

TEST(EucToSjisBoundedLength, AJisX0212CharacterCutByTheLengthWritesNothing) {
  char out[16];
  EXPECT_EQ(euc_to_sjis_bounded("A\x8F\xEC\xBF", 3, out, sizeof out), 1u);
  EXPECT_STREQ(out, "A");
}

TEST(EucToSjisBoundedLength, TerminatorBeforeTheLengthEndsTheText) {
  char out[16];
  EXPECT_EQ(euc_to_sjis_bounded("AB", 10, out, sizeof out), 2u);
  EXPECT_STREQ(out, "AB");
}

TEST(EucToSjisBoundedLength, NeverExceedsCapacityForALongLine) {
  // 200 bytes of 決 into the 64-byte cell buffer: 31 pairs, 62 bytes.
  std::string source;
  for (int i = 0; i < 100; ++i) source += "\xB7\xE8";
  char out[80];
  memset(out, 'X', sizeof out);
  EXPECT_EQ(euc_to_sjis_bounded(source.c_str(), source.size(), out, 64), 62u);
  EXPECT_EQ(out[62], '\0');
  EXPECT_EQ(out[63], 'X');
  // With one ASCII byte first, 63 bytes fit.
  source = "A" + source;
  EXPECT_EQ(euc_to_sjis_bounded(source.c_str(), source.size(), out, 64), 63u);
  EXPECT_EQ(out[63], '\0');
  EXPECT_EQ(out[64], 'X');
}

struct Jis0208Pair {
  uint16_t euc;
  uint16_t sjis;
};

// Every JIS X 0208 character, as a standard codec converts it.
const Jis0208Pair Jis0208Pairs[] = {
#include "jis0208_pairs.inc"
};

TEST(EucToSjisJis0208, EveryCharacterConvertsAsTheStandardCodecDoes) {
  ASSERT_EQ(std::size(Jis0208Pairs), 6879u);
  int differing = 0;
  for (const Jis0208Pair& pair : Jis0208Pairs) {
    const char euc[] = {static_cast<char>(pair.euc >> 8), static_cast<char>(pair.euc & 0xFF), 0};
    char out[4];
    euc_to_sjis(euc, out);
    const int sjis = (static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]);
    if (sjis != pair.sjis || out[2] != '\0') {
      if (++differing <= 5) ADD_FAILURE() << std::hex << pair.euc << " gives " << sjis;
    }
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
