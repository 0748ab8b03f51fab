#include "parsing/euc_sjis.h"

#include <cstdint>

namespace {

constexpr unsigned char SingleShift2 = 0x8E;                // a half-width katakana byte follows
constexpr unsigned char SingleShift3 = 0x8F;                // a JIS X 0212 pair follows
constexpr unsigned char GetaLead = 0x81, GetaTrail = 0xAC;  // 〓, for what Shift_JIS cannot hold

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

bool is_katakana(unsigned char byte) { return byte >= 0xA1 && byte <= 0xDF; }

// One unit of the conversion: the source bytes it takes and the bytes it writes.
struct Unit {
  size_t taken;  // 0: the text ends inside the unit, which writes nothing
  size_t length;
  unsigned char bytes[2];
};

// The unit that starts at source[in] (not the terminator), looking no further than length bytes.
Unit next_unit(const unsigned char* source, size_t in, size_t length) {
  const unsigned char first = source[in];
  if (first < 0x80) return Unit{1, 1, {first, 0}};
  const auto byte_at = [&](size_t at) -> unsigned char { return at < length ? source[at] : 0; };
  const unsigned char second = byte_at(in + 1);
  if (second == 0) return Unit{0, 0, {0, 0}};
  if (first == SingleShift2 && is_katakana(second)) return Unit{2, 1, {second, 0}};
  if (first == SingleShift3 && second >= 0xA1) {
    const unsigned char third = byte_at(in + 2);
    if (third == 0) return Unit{0, 0, {0, 0}};
    if (third >= 0xA1) return Unit{3, 2, {GetaLead, GetaTrail}};
  }
  Unit pair{2, 2, {0, 0}};
  convert_pair(first, second, pair.bytes);
  return pair;
}

}  // namespace

size_t euc_to_sjis_bounded(const char* source, size_t source_length, char* destination,
                           size_t capacity) {
  if (capacity == 0) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(source);
  const size_t room = capacity - 1;
  size_t in = 0;
  size_t out = 0;
  while (in < source_length && bytes[in] != 0) {
    const Unit unit = next_unit(bytes, in, source_length);
    if (unit.taken == 0 || room - out < unit.length) break;
    for (size_t i = 0; i < unit.length; ++i) destination[out++] = static_cast<char>(unit.bytes[i]);
    in += unit.taken;
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
