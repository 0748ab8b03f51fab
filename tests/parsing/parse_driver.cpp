// Runs the parsing code over framed inputs and writes what it makes of each, so that the
// outputs of two builds can be compared byte for byte.
//   parse_driver INPUT OUTPUT
// INPUT holds records: a kind byte ('c' a cell text, 'p' a page), a 4-byte little-endian
// length, and that many bytes. OUTPUT gets one line per cell and, per page, its result line
// and, when it has periods, the summary line and the report block as the sweep prints them.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "parsing/amount.h"
#include "parsing/euc_sjis.h"
#include "parsing/scanner.h"
#include "retrieval/response_scan.h"
#include "run/period.h"
#include "wininet_double.h"

namespace {

void write_hex(FILE* out, const std::string& bytes) {
  for (unsigned char byte : bytes) fprintf(out, "%02x", byte);
}

void write_cell(FILE* out, std::string text) {
  text = text.substr(0, CellTextCapacity - 1).c_str();  // as the scanner hands it over
  const double amount = parse_amount(text.c_str());
  uint64_t bits;
  memcpy(&bits, &amount, sizeof bits);
  fprintf(out, "c %016" PRIx64 " %.0f %.2f %" PRId32, bits, amount, amount,
          truncate_to_int32(amount));
  CalendarTime date{};
  parse_period_date(text.c_str(), &date);
  fprintf(out, " %" PRId32 "/%" PRId32 "/%" PRId32 " %" PRId32 ":%" PRId32 ":%" PRId32 " ",
          date.tm_year, date.tm_mon, date.tm_mday, date.tm_hour, date.tm_min, date.tm_sec);
  char converted[CellTextCapacity];
  euc_to_sjis(text.c_str(), converted);
  write_hex(out, converted);
  fputc('\n', out);
}

// The page as the fetch reads it: through the line reader (here over the WinINet test double)
// into the scanner.
void write_page(FILE* out, const std::string& page, int code) {
  PeriodTable table;
  CompanyName name;
  reset_period_table(&table);
  name.text[0] = '\0';
  wininet_double::Response response;
  response.body = page;
  wininet_double::reset(wininet_double::always(response));
  HINTERNET session =
      InternetOpenA("parse_driver", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET request = InternetOpenUrlA(session, "http://page/", nullptr, 0, 0, 0);
  ResponseReader reader = start_reader(session, request);
  ResultsScanner scanner;
  start_scanner(&scanner, &table, &name);
  const int32_t result = scan_response(&reader, &scanner, nullptr);
  InternetCloseHandle(request);
  InternetCloseHandle(session);
  fprintf(out, "p %d %" PRId32 "\n", code, result);
  if (result <= 0) return;
  const int shown = result < MaxPeriods ? result : MaxPeriods;
  fprintf(out, "%i,%s,%i\n", code, name.text, shown);
  write_report(out, &table, shown);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: parse_driver INPUT OUTPUT\n", stderr);
    return 64;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  FILE* out = fopen(argv[2], "wb");
  if (!in || out == nullptr) {
    perror("parse_driver");
    return 1;
  }
  size_t at = 0;
  int pages = 0;
  while (at + 5 <= input.size()) {
    const char kind = input[at];
    uint32_t length = 0;
    for (int i = 4; i >= 1; --i) length = length << 8 | static_cast<unsigned char>(input[at + i]);
    at += 5;
    if (length > input.size() - at) break;
    const std::string body = input.substr(at, length);
    at += length;
    if (kind == 'c') write_cell(out, body);
    if (kind == 'p') write_page(out, body, 1300 + pages++ % 8700);
  }
  const bool whole = at == input.size();
  if (fclose(out) != 0 || !whole) {
    fputs("parse_driver: the input ends inside a record, or the output could not be written\n",
          stderr);
    return 1;
  }
  return 0;
}
