#pragma once

#include <cstdint>

#include "items/items.h"

// The value of a Shift_JIS cell text (at most 63 bytes): its digits, signs and points (commas
// skipped, the triangles 81 A2 and 81 A3 read as "-") read as one number, times 100, 10000 and
// 1000 for each 百, 万 and 千 met anywhere in it. Number text that does not start with a number
// (at most one sign, then a digit, or a point and a digit) gives +0.
double parse_amount(const char* text);

// Writes the date of a Shift_JIS cell text (at most 63 bytes) into destination: the numbers
// before 年, 月 and 日 are the year, month and day (defaults 1900, 1, 1), at 12:00:00.
// tm_wday, tm_yday and tm_isdst are left as they are.
void parse_period_date(const char* text, CalendarTime* destination);

// value truncated toward zero and clamped to the 32-bit range; NaN gives 0.
int32_t truncate_to_int32(double value);
