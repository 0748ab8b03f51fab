#include "tidy/decode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/text_encoding.h"

namespace tidy {

namespace {

constexpr size_t ReadSize = 64 * 1024;

// One character at the start of a text: its code point and length in bytes; length 0 when the
// text ends inside it.
struct Character {
  char32_t code_point;
  size_t length;
};
constexpr char32_t Malformed = 0xFFFFFFFF;

Character utf8_at(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(0);
  if (first < 0x80) return {first, 1};
  size_t length = first >= 0xC2 && first <= 0xDF   ? 2
                  : first >= 0xE0 && first <= 0xEF ? 3
                  : first >= 0xF0 && first <= 0xF4 ? 4
                                                   : 0;
  if (length == 0) return {Malformed, 1};
  char32_t c = first & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if (i == text.size()) return {0, 0};
    if ((byte(i) & 0xC0) != 0x80) return {Malformed, 1};
    c = c << 6 | (byte(i) & 0x3F);
  }
  const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {Malformed, 1};
  return {c, length};
}

Character utf16_at(std::string_view text) {
  const auto unit = [&](size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(text[i]) |
                                 static_cast<unsigned char>(text[i + 1]) << 8);
  };
  if (text.size() < 2) return {0, 0};
  const char32_t first = unit(0);
  if (first < 0xD800 || first > 0xDFFF) return {first, 2};
  if (first >= 0xDC00) return {Malformed, 2};
  if (text.size() < 4) return {0, 0};
  const char32_t second = unit(2);
  if (second < 0xDC00 || second > 0xDFFF) return {Malformed, 2};
  return {0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), 4};
}

// True when text holds a byte above 7F and is UTF-8 throughout, but for a character that the
// end of text may cut.
bool reads_as_utf8(std::string_view text) {
  bool above_ascii = false;
  while (!text.empty()) {
    const Character c = utf8_at(text);
    if (c.length == 0) break;
    if (c.code_point == Malformed) return false;
    above_ascii = above_ascii || c.length > 1;
    text.remove_prefix(c.length);
  }
  return above_ascii;
}

}  // namespace

std::string Decoder::advice(const std::string& cause) const {
  return cause + "; the file holds the sweep as " +
         (saved_ == Saved::AsUtf16 ? "UTF-16, as Windows PowerShell" : "UTF-8, as PowerShell 7") +
         " saves it after reading it with the console's code page: save the sweep's own bytes "
         "instead, with cmd /c \"kessan.exe > results.csv\"";
}

// Appends up to wanted bytes of the source to raw_.
void Decoder::fill(size_t wanted) {
  const size_t had = raw_.size();
  raw_.resize(had + wanted);
  const long long got = source_(raw_.data() + had, wanted);
  raw_.resize(had + (got > 0 ? static_cast<size_t>(got) : 0));
  if (got < 0) source_error_ = errno;
  if (got <= 0) source_done_ = true;
}

// Looks at the start: a byte-order mark, else the summary lines (more than one where standard
// error was captured too) and the first other line, a row's label, read as UTF-8 or not. A name
// may read as UTF-8 in Shift_JIS; a label never does.
void Decoder::decide() {
  decided_ = true;
  const auto summary = [](std::string_view line) {
    return line.size() > 4 && line[4] == ',' &&
           line.substr(0, 4).find_first_not_of("0123456789") == std::string_view::npos;
  };
  size_t looked = 0, line_start = 0;
  for (bool label = false; !label;) {
    if (looked == raw_.size()) {
      if (source_done_ || raw_.size() >= 2 * MaxLineLength) break;
      fill(2 * MaxLineLength - raw_.size());
      continue;
    }
    if (raw_[looked++] != '\n') continue;
    label = !summary(std::string_view(raw_).substr(line_start, looked - line_start));
    line_start = looked;
  }
  if (raw_.compare(0, 2, "\xFF\xFE") == 0) {
    saved_ = Saved::AsUtf16;
    raw_start_ = 2;
  } else if (raw_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    saved_ = Saved::AsUtf8;
    raw_start_ = 3;
  } else if (reads_as_utf8(std::string_view(raw_).substr(0, looked))) {
    saved_ = Saved::AsUtf8;
  } else {
    out_.swap(raw_);
  }
}

// Converts raw_'s whole characters into out_, up to the first that has no unchanged Shift_JIS.
void Decoder::convert() {
  std::string_view text = std::string_view(raw_).substr(raw_start_);
  const bool utf16 = saved_ == Saved::AsUtf16;
  while (!text.empty()) {
    const Character c = utf16 ? utf16_at(text) : utf8_at(text);
    if (c.length == 0 && !source_done_) break;
    std::string cause;
    if ((c.length == 0 || c.code_point == Malformed) && source_error_ != 0) {
      break;
    } else if (c.length == 0) {
      cause = "the file ends inside a character: it is cut off (its saving was stopped?)";
    } else if (c.code_point == Malformed) {
      cause = std::string("the bytes are not ") + (utf16 ? "UTF-16" : "UTF-8") + " text";
    } else if (c.code_point == 0xFEFF) {
      cause =
          "a second byte-order mark: two saved files were joined into one (give each file "
          "as an input of its own)";
    } else if (c.code_point == 0xFFFD) {
      cause = "U+FFFD stands where the console could not read a character";
    } else if (!append_code_point_as_sjis(out_, c.code_point)) {
      char code[16];
      snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c.code_point));
      cause = std::string(code) + " is not a character of code page 932 (the console had another)";
    }
    if (!cause.empty()) {
      refusal_ = advice(cause);
      break;
    }
    text.remove_prefix(c.length);
  }
  raw_start_ = raw_.size() - text.size();
}

long long Decoder::read(char* buffer, size_t size) {
  if (!decided_) decide();
  while (out_start_ == out_.size()) {
    out_.clear();
    out_start_ = 0;
    if (!refusal_.empty()) {
      errno = EILSEQ;
      return -1;
    }
    if (saved_ == Saved::AsShiftJis && !source_done_) return source_(buffer, size);
    if (source_done_ && (saved_ == Saved::AsShiftJis || raw_start_ == raw_.size())) {
      if (source_error_ == 0) return 0;
      errno = source_error_;
      return -1;
    }
    if (!source_done_) {
      raw_.erase(0, raw_start_);
      raw_start_ = 0;
      fill(ReadSize);
    }
    const size_t before = raw_start_;
    convert();
    // A read error inside a character: nothing more can be converted.
    if (raw_start_ == before && source_done_ && refusal_.empty()) raw_start_ = raw_.size();
  }
  const size_t n = std::min(size, out_.size() - out_start_);
  memcpy(buffer, out_.data() + out_start_, n);
  out_start_ += n;
  return static_cast<long long>(n);
}

}  // namespace tidy
