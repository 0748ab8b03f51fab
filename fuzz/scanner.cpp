// The results-table scanner on arbitrary sequences of lines (the input split on '\n', each line
// cut to 255 bytes as the line reader delivers them): it never stores outside the table or the
// name, the name stays terminated within 127 bytes, and its result is a period count or -1.

#include "parsing/scanner.h"

#include <cstring>
#include <memory>

#include "fuzz_check.h"

namespace {

constexpr unsigned char GuardByte = 0xA5;
constexpr size_t GuardSize = 32;

// The caller's table and name with guard bytes on both sides.
struct Target {
  unsigned char before_table[GuardSize];
  PeriodTable table;
  unsigned char after_table[GuardSize];
  unsigned char before_name[GuardSize];
  CompanyName name;
  unsigned char after_name[GuardSize];
};

bool intact(const unsigned char* guard) {
  for (size_t i = 0; i < GuardSize; ++i)
    if (guard[i] != GuardByte) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto target = std::make_unique<Target>();
  memset(target.get(), GuardByte, sizeof(Target));
  reset_period_table(&target->table);
  target->name.text[0] = '\0';
  auto scanner = std::make_unique<ResultsScanner>();
  start_scanner(scanner.get(), &target->table, &target->name);

  const char* bytes = reinterpret_cast<const char*>(data);
  size_t at = 0;
  ScanVerdict verdict{false, 0};
  while (at < size && !verdict.stop) {
    const void* end = memchr(bytes + at, '\n', size - at);
    const size_t line_end = end ? static_cast<size_t>(static_cast<const char*>(end) - bytes) : size;
    const size_t length = line_end - at < 255 ? line_end - at : 255;
    auto line = std::make_unique<char[]>(length + 1);
    memcpy(line.get(), bytes + at, length);
    line[length] = '\0';
    verdict = feed_line(scanner.get(), line.get());
    at = line_end + 1;
  }
  const int32_t result = verdict.stop ? verdict.result : period_count(scanner.get());

  FUZZ_CHECK(intact(target->before_table) && intact(target->after_table));
  FUZZ_CHECK(intact(target->before_name) && intact(target->after_name));
  FUZZ_CHECK(memchr(target->name.text, '\0', NameCapacity) != nullptr);
  FUZZ_CHECK(memchr(scanner->name_text, '\0', NameTextCapacity) != nullptr);
  FUZZ_CHECK(memchr(scanner->cell_text, '\0', CellTextCapacity) != nullptr);
  FUZZ_CHECK(result >= -1);
  FUZZ_CHECK(scanner->table == &target->table && scanner->name == &target->name);
  return 0;
}
