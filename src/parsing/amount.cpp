#include "parsing/amount.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr int NumberTextCapacity = 64;
constexpr int64_t Int32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t Int32Max = std::numeric_limits<int32_t>::max();

// The number text that a parser gathers; bytes beyond its capacity are dropped, which never
// happens for text of at most 63 bytes.
struct NumberText {
  char text[NumberTextCapacity];
  int length;
};

void clear(NumberText* number) {
  number->length = 0;
  number->text[0] = '\0';
}

void append(NumberText* number, char byte) {
  if (number->length >= NumberTextCapacity - 1) return;
  number->text[number->length++] = byte;
  number->text[number->length] = '\0';
}

bool is_digit(unsigned char byte) { return isdigit(byte) != 0; }

// The steps both parsers take first: a digit, sign or point joins the number text, a comma is
// skipped. Returns whether the byte at *at was one of those (and steps past it).
bool take_number_byte(NumberText* number, const unsigned char** at) {
  const unsigned char byte = **at;
  if (is_digit(byte) || byte == '+' || byte == '-' || byte == '.') {
    append(number, static_cast<char>(byte));
  } else if (byte != ',') {
    return false;
  }
  *at += 1;
  return true;
}

bool is_pair(const unsigned char* at, unsigned char first, unsigned char second) {
  // at[1] exists whenever at[0] is not the terminator.
  return at[0] == first && at[1] == second;
}

// Whether the number text starts with a number: a sign at most, then a digit, or a point and a
// digit. Text without one reads as 0 everywhere; C libraries differ on its sign.
bool starts_with_number(const char* text) {
  if (*text == '+' || *text == '-') ++text;
  if (*text == '.') ++text;
  return is_digit(static_cast<unsigned char>(*text));
}

int32_t clamp_to_int32(int64_t value) {
  if (value < Int32Min) return static_cast<int32_t>(Int32Min);
  if (value > Int32Max) return static_cast<int32_t>(Int32Max);
  return static_cast<int32_t>(value);
}

// Reads the number text as atoi would (an optional sign, then digits up to the first other
// byte), saturating at the 32-bit range instead of overflowing.
int32_t read_int32(const char* text) {
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  bool negative = false;
  if (*at == '+' || *at == '-') {
    negative = *at == '-';
    ++at;
  }
  int64_t magnitude = 0;
  for (; is_digit(*at); ++at) {
    if (magnitude <= Int32Max) magnitude = magnitude * 10 + (*at - '0');
  }
  return clamp_to_int32(negative ? -magnitude : magnitude);
}

// Shift_JIS pairs of the unit characters.
constexpr unsigned char Lead100 = 0x95, Trail100 = 0x53;      // 百
constexpr unsigned char Lead10000 = 0x96, Trail10000 = 0x9C;  // 万
constexpr unsigned char Lead1000 = 0x90, Trail1000 = 0xE7;    // 千
constexpr unsigned char LeadTriangle = 0x81;
constexpr unsigned char TrailWhiteTriangle = 0xA2;            // △
constexpr unsigned char TrailBlackTriangle = 0xA3;            // ▲
constexpr unsigned char LeadYear = 0x94, TrailYear = 0x4E;    // 年
constexpr unsigned char LeadMonth = 0x8C, TrailMonth = 0x8E;  // 月
constexpr unsigned char LeadDay = 0x93, TrailDay = 0xFA;      // 日

}  // namespace

double parse_amount(const char* text) {
  NumberText number;
  clear(&number);
  double scale = 1.0;
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  while (*at != '\0') {
    if (take_number_byte(&number, &at)) continue;
    if (is_pair(at, Lead100, Trail100)) {
      scale *= 100;
      at += 2;
    } else if (is_pair(at, Lead10000, Trail10000)) {
      scale *= 10000;
      at += 2;
    } else if (is_pair(at, Lead1000, Trail1000)) {
      scale *= 1000;
      at += 2;
    } else if (is_pair(at, LeadTriangle, TrailWhiteTriangle) ||
               is_pair(at, LeadTriangle, TrailBlackTriangle)) {
      append(&number, '-');
      at += 2;
    } else {
      at += 1;
    }
  }
  if (!starts_with_number(number.text)) return 0.0;
  // At most 63 bytes of digits, signs and points, with no exponent: always within double range.
  return strtod(number.text, nullptr) * scale;
}

void parse_period_date(const char* text, CalendarTime* destination) {
  NumberText number;
  clear(&number);
  int32_t year = 1900;
  int32_t month = 1;
  int32_t day = 1;
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  while (*at != '\0') {
    if (take_number_byte(&number, &at)) continue;
    if (is_pair(at, LeadYear, TrailYear)) {
      year = read_int32(number.text);
      clear(&number);
      at += 2;
    } else if (is_pair(at, LeadMonth, TrailMonth)) {
      month = read_int32(number.text);
      clear(&number);
      at += 2;
    } else if (is_pair(at, LeadDay, TrailDay)) {
      day = read_int32(number.text);
      clear(&number);
      at += 2;
    } else {
      at += 1;
    }
  }
  destination->tm_sec = 0;
  destination->tm_min = 0;
  destination->tm_hour = 12;
  destination->tm_mday = day;
  destination->tm_mon = clamp_to_int32(static_cast<int64_t>(month) - 1);
  destination->tm_year = clamp_to_int32(static_cast<int64_t>(year) - 1900);
}

int32_t truncate_to_int32(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(Int32Min)) return static_cast<int32_t>(Int32Min);
  if (value >= static_cast<double>(Int32Max)) return static_cast<int32_t>(Int32Max);
  return static_cast<int32_t>(value);
}
