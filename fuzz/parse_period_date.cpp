// parse_period_date on arbitrary cell texts: no undefined behaviour, always 12:00:00, and the
// fields it does not own are left as they were.

#include "cell_text.h"
#include "fuzz_check.h"
#include "parsing/amount.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto text = cell_text(data, size);
  auto date = std::make_unique<CalendarTime>();
  *date = CalendarTime{-7, -7, -7, -7, -7, -7, 101, 202, 303};
  parse_period_date(text.get(), date.get());
  FUZZ_CHECK(date->tm_hour == 12);
  FUZZ_CHECK(date->tm_min == 0);
  FUZZ_CHECK(date->tm_sec == 0);
  FUZZ_CHECK(date->tm_wday == 101 && date->tm_yday == 202 && date->tm_isdst == 303);
  return 0;
}
