#include "retrieval/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wininet_double.h"

namespace {

using wininet_double::Response;

// Every line next_line delivers for body, read in pieces of at most read_size bytes.
std::vector<std::string> lines_of(const std::string& body, size_t read_size) {
  Response response;
  response.body = body;
  response.read_sizes = {read_size};
  wininet_double::reset(wininet_double::always(response));
  HINTERNET session = InternetOpenA("t", 0, nullptr, nullptr, 0);
  HINTERNET request = InternetOpenUrlA(session, "http://h/", nullptr, 0, 0, 0);
  ResponseReader reader = start_reader(session, request);
  Line line;
  std::vector<std::string> lines;
  for (int guard = 0; guard < 10000 && next_line(&reader, &line) != nullptr; ++guard) {
    EXPECT_EQ(line.text[line.length], '\0');
    lines.emplace_back(line.text, line.length);
  }
  EXPECT_EQ(next_line(&reader, &line), nullptr) << "the end of the data stays the end";
  InternetCloseHandle(request);
  return lines;
}

std::string bytes(size_t n, char c = 'a') { return std::string(n, c); }

struct Case {
  const char* label;
  std::string body;
  std::vector<std::string> lines;
};

TEST(NextLine, SplitsLikeTheReaderShould) {
  const Case cases[] = {
      {"empty response", "", {}},
      {"LF ends lines", "ab\ncd\n", {"ab", "cd"}},
      {"CR LF gives an empty line", "ab\r\ncd\r\n", {"ab", "", "cd", ""}},
      {"lone CR ends a line", "ab\rcd\r", {"ab", "cd"}},
      {"empty lines are lines", "\n\n", {"", ""}},
      {"last line without line end", "ab\ncd", {"ab", "cd"}},
      {"300 bytes without line end", bytes(300), {bytes(255), bytes(45)}},
      {"510 bytes without line end", bytes(510), {bytes(255), bytes(255)}},
      {"600-byte line then LF", bytes(600) + "\n", {bytes(255), bytes(255), bytes(90)}},
      {"255-byte line then LF", bytes(255) + "\n", {bytes(255), ""}},
      {"254-byte line then LF", bytes(254) + "\n", {bytes(254)}},
      {"NUL is line text", std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
      {"high bytes pass", "\xA1\xCA\xFF\x80\n", {"\xA1\xCA\xFF\x80"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lines_of(c.body, ReadChunk), c.lines) << c.label;
  }
}

// Whatever the read sizes, the same lines come out: none lost, none repeated.
TEST(NextLine, ReadBoundariesDoNotChangeTheLines) {
  std::string body = bytes(254) + "\r\n" + bytes(255) + bytes(255, 'b') + "x\n" +
                     std::string("z\0y", 3) + bytes(1030, 'c') + "\r" + bytes(40, 'd');
  std::vector<std::string> expected = lines_of(body, ReadChunk);
  ASSERT_EQ(expected.size(), 11u);
  for (size_t size : {1u, 2u, 3u, 254u, 255u, 256u, 510u, 511u, 1000u, 1022u}) {
    EXPECT_EQ(lines_of(body, size), expected) << "read size " << size;
  }
  std::string joined;
  for (const std::string& line : expected) joined += line;
  std::string without_line_ends;
  for (char c : body)
    if (c != '\r' && c != '\n') without_line_ends += c;
  EXPECT_EQ(joined, without_line_ends);
}

}  // namespace
