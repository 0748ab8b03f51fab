#include "tidy/lines.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
