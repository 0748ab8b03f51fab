// euc_to_sjis and euc_to_sjis_bounded on arbitrary text: the output is never longer than the
// input, and the bounded forms stop at a unit boundary of the whole conversion, never past it
// and never beyond their capacity.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "parsing/euc_sjis.h"

namespace {

// The output length after each unit of the conversion of text (0 first): a byte below 0x80 is
// one unit of one byte, 8E and a katakana byte one of one byte, 8F and two bytes of A1 or above
// one of two (〓), any other high-bit byte with a byte after it one of two.
std::vector<size_t> unit_ends(const char* text, size_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::vector<size_t> ends = {0};
  size_t in = 0;
  while (in < length) {
    const unsigned char first = bytes[in];
    size_t taken = 2;
    size_t written = 2;
    if (first < 0x80) {
      taken = written = 1;
    } else if (in + 1 >= length) {
      break;
    } else if (first == 0x8E && bytes[in + 1] >= 0xA1 && bytes[in + 1] <= 0xDF) {
      written = 1;
    } else if (first == 0x8F && bytes[in + 1] >= 0xA1) {
      if (in + 2 >= length) break;
      if (bytes[in + 2] >= 0xA1) taken = 3;
    }
    in += taken;
    ends.push_back(ends.back() + written);
  }
  return ends;
}

// The bounded conversion into exactly capacity bytes of its own allocation.
void check_bounded(const char* source, size_t source_length, const std::string& whole,
                   const std::vector<size_t>& ends, size_t capacity) {
  auto out = std::make_unique<char[]>(capacity);
  const size_t n = source_length == SIZE_MAX
                       ? euc_to_sjis_bounded(source, out.get(), capacity)
                       : euc_to_sjis_bounded(source, source_length, out.get(), capacity);
  FUZZ_CHECK(n < capacity);
  FUZZ_CHECK(out[n] == '\0');
  // The longest run of whole units that fits in capacity - 1 bytes.
  size_t expected = 0;
  for (size_t end : ends)
    if (end <= capacity - 1) expected = end;
  FUZZ_CHECK(n == expected);
  FUZZ_CHECK(memcmp(out.get(), whole.data(), n) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The scanner converts lines of at most 255 bytes; longer text only slows the search.
  const size_t length = strnlen(reinterpret_cast<const char*>(data), size < 512 ? size : 512);
  auto source = std::make_unique<char[]>(length + 1);
  memcpy(source.get(), data, length);
  source[length] = '\0';

  auto out = std::make_unique<char[]>(length + 1);
  euc_to_sjis(source.get(), out.get());
  const size_t out_length = strlen(out.get());
  FUZZ_CHECK(out_length <= length);
  const std::vector<size_t> ends = unit_ends(source.get(), length);
  FUZZ_CHECK(out_length == ends.back());
  const std::string whole(out.get(), out_length);

  // Every capacity up to one more than needed, then the length-limited form at every cut.
  for (size_t capacity = 1; capacity <= out_length + 2; ++capacity)
    check_bounded(source.get(), SIZE_MAX, whole, ends, capacity);
  for (size_t cut = 0; cut <= length && cut <= 64; ++cut) {
    const std::vector<size_t> cut_ends = unit_ends(source.get(), cut);
    const std::string cut_whole = whole.substr(0, cut_ends.back());
    check_bounded(source.get(), cut, cut_whole, cut_ends, cut_whole.size() + 1);
    check_bounded(source.get(), cut, cut_whole, cut_ends, 1 + cut_whole.size() / 2);
  }
  return 0;
}
