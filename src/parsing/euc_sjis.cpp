#include "parsing/euc_sjis.h"

#include <cstdint>

namespace {

// Rounds toward minus infinity, unlike the built-in division.
int floor_half(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

// The Shift_JIS pair for the EUC-JP pair (first, second); both have the high bit set or are
// taken as if they had (only their low seven bits count).
void convert_pair(unsigned char first, unsigned char second, unsigned char* out) {
  const int row = first & 0x7F;
  const int cell = second & 0x7F;
  int lead = floor_half(row - 0x21) + 0x81;
  if (lead > 0x9F) lead += 0x40;
  int trail = cell + ((row & 1) != 0 ? 0x1F : 0x7D);
  if (trail >= 0x7F) trail += 1;
  out[0] = static_cast<unsigned char>(lead);
  out[1] = static_cast<unsigned char>(trail);
}

}  // namespace

size_t euc_to_sjis_bounded(const char* source, size_t source_length, char* destination,
                           size_t capacity) {
  if (capacity == 0) return 0;
  const size_t room = capacity - 1;
  size_t in = 0;
  size_t out = 0;
  while (in < source_length && source[in] != '\0') {
    const auto first = static_cast<unsigned char>(source[in]);
    if (first < 0x80) {
      if (room - out < 1) break;
      destination[out++] = static_cast<char>(first);
      in += 1;
      continue;
    }
    // A lead byte with nothing after it ends the text and writes nothing.
    if (in + 1 >= source_length || source[in + 1] == '\0') break;
    if (room - out < 2) break;
    unsigned char pair[2];
    convert_pair(first, static_cast<unsigned char>(source[in + 1]), pair);
    destination[out++] = static_cast<char>(pair[0]);
    destination[out++] = static_cast<char>(pair[1]);
    in += 2;
  }
  destination[out] = '\0';
  return out;
}

size_t euc_to_sjis_bounded(const char* source, char* destination, size_t capacity) {
  return euc_to_sjis_bounded(source, SIZE_MAX, destination, capacity);
}

void euc_to_sjis(const char* source, char* destination) {
  euc_to_sjis_bounded(source, SIZE_MAX, destination, SIZE_MAX);
}
