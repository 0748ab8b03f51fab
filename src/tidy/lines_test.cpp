#include "tidy/lines.h"

#include <gtest/gtest.h>

#include <string>

#include "tidy/decode.h"

namespace {

// The lines of text read chunk bytes at a time, each as "N:text" with "!" for a cut-off line
// and "+" for one too long; "E" for a read error after the text.
std::string lines_of(const std::string& text, size_t chunk, bool fail = false) {
  size_t at = 0;
  tidy::LineSplitter splitter([&](char* buffer, size_t size) -> long long {
    if (at == text.size() && fail) return -1;
    size_t n = text.copy(buffer, std::min(size, chunk), at);
    at += n;
    return static_cast<long long>(n);
  });
  std::string out;
  tidy::Line line;
  for (int guard = 0; guard < 100; ++guard) {
    switch (splitter.next(line)) {
      case tidy::LineSplitter::Next::End:
        return out;
      case tidy::LineSplitter::Next::ReadError:
        return out + "E";
      case tidy::LineSplitter::Next::Line:
        out += std::to_string(line.number) + ":" +
               (line.too_long ? "+" + std::to_string(line.text.size()) : std::string(line.text)) +
               (line.has_line_end ? "" : "!") + " ";
    }
  }
  return out + "(no end)";
}

TEST(LineSplitter, CutsLinesAtLfAndDropsTheCrBeforeIt) {
  const std::string longer(tidy::MaxLineLength + 1, 'x');
  struct Case {
    const char* label;
    std::string text;
    std::string lines;
  } cases[] = {
      {"empty", "", ""},
      {"lf_and_cr_lf", "a\nb\r\n\nc\r\n", "1:a 2:b 3: 4:c "},
      {"cr_elsewhere_kept", "a\rb\n\r\r\n", "1:a\rb 2:\r "},
      {"last_line_without_a_line_end", "a\nbc", "1:a 2:bc! "},
      {"cr_at_the_very_end", "a\r", "1:a\r! "},
      {"longest_line", std::string(tidy::MaxLineLength, 'y') + "\nz\n",
       "1:" + std::string(tidy::MaxLineLength, 'y') + " 2:z "},
      {"too_long_then_a_line", longer + "\nz\n", "1:+64 2:z "},
      {"too_long_at_the_end", "z\n" + longer + longer, "1:z 2:+64! "},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {size_t{1}, size_t{3}, size_t{1} << 20}) {
      if (chunk == 1 && c.text.size() > 1000) continue;
      SCOPED_TRACE(std::string(c.label) + ", read " + std::to_string(chunk) + " at a time");
      EXPECT_EQ(lines_of(c.text, chunk), c.lines);
    }
  }
}

TEST(LineSplitter, ReportsAReadError) { EXPECT_EQ(lines_of("a\nb", 2, true), "1:a E"); }

// The Shift_JIS that a Decoder reads from text, chunk bytes at a time, then "|" and the start of
// its refusal.
std::string decoded(const std::string& text, size_t chunk) {
  size_t at = 0;
  tidy::Decoder decoder([&](char* buffer, size_t size) -> long long {
    const size_t n = text.copy(buffer, std::min(size, chunk), at);
    at += n;
    return static_cast<long long>(n);
  });
  std::string out;
  char buffer[5];
  for (int guard = 0; guard < 1000; ++guard) {
    const long long n = decoder.read(buffer, sizeof buffer);
    if (n <= 0) return n == 0 ? out : out + "|" + decoder.refusal().substr(0, 20);
    out.append(buffer, static_cast<size_t>(n));
  }
  return out + "(no end)";
}

TEST(Decoder, GivesBackTheShiftJisOfUtf16AndUtf8) {
  // 決 (8C 88), ｱ (B1), ∵ (81 E6, also 87 9A), 😀 (U+1F600, in no unit)
  const std::string sjis = "1301,\x8C\x88\xB1,1\n\x8C\x88\x81\xE6,1\r\n";
  const std::string utf8 = "1301,\xE6\xB1\xBA\xEF\xBD\xB1,1\n\xE6\xB1\xBA\xE2\x88\xB5,1\r\n";
  const std::string utf16(
      "\xFF\xFE"
      "1\0"
      "3\0,\0\x7A\x6C\x71\xFF\n\0\x35\x22",
      16);
  const std::string emoji_utf16(
      "\xFF\xFE"
      "a\0\x3D\xD8\x00\xDE",
      8);
  const struct {
    const char* label;
    std::string text, sjis;
  } cases[] = {
      {"shift_jis_as_it_is", sjis + "\x80\xFF", sjis + "\x80\xFF"},
      {"utf8_told_by_the_first_lines", utf8, sjis},
      {"utf8_after_a_byte_order_mark", "\xEF\xBB\xBF" + utf8, sjis},
      {"utf16_after_a_byte_order_mark", utf16, "13,\x8C\x88\xB1\n\x81\xE6"},
      {"utf16_cut_inside_a_unit", utf16 + "x", "13,\x8C\x88\xB1\n\x81\xE6|the file ends inside"},
      {"utf16_beyond_the_plane", emoji_utf16, "a|U+1F600 is not a cha"},
      {"utf8_cut_inside_a_character", utf8 + "\xE6\xB1", sjis + "|the file ends inside"},
      {"two_files_joined", utf16 + utf16, "13,\x8C\x88\xB1\n\x81\xE6|a second byte-order "},
      {"replacement_after_the_text_before_it",
       "\xEF\xBB\xBF"
       "ab\n\xEF\xBF\xBD",
       "ab\n|U+FFFD stands where "},
  };
  for (const auto& c : cases) {
    for (size_t chunk : {size_t{1}, size_t{3}, size_t{1} << 20}) {
      SCOPED_TRACE(std::string(c.label) + ", read " + std::to_string(chunk) + " at a time");
      EXPECT_EQ(decoded(c.text, chunk), c.sjis);
    }
  }
}

}  // namespace
