// parse_amount and truncate_to_int32 on arbitrary cell texts: no undefined behaviour, and the
// truncation stays in the 32-bit range whatever the value.

#include <cmath>

#include "cell_text.h"
#include "fuzz_check.h"
#include "parsing/amount.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto text = cell_text(data, size);
  const double value = parse_amount(text.get());
  const int32_t whole = truncate_to_int32(value);
  if (std::isnan(value)) FUZZ_CHECK(whole == 0);
  if (value >= 1.0 && value < 2147483647.0) FUZZ_CHECK(whole >= 1);
  if (value <= -1.0 && value > -2147483648.0) FUZZ_CHECK(whole <= -1);
  return 0;
}
