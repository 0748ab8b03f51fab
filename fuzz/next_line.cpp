// next_line over arbitrary data delivered in arbitrary read sizes through the WinINet test
// double: the lines put back together are the data without CR and LF, and no line is longer
// than 255 bytes.
//
// Input: one byte n, then n % 8 + 1 read sizes of two bytes each (1..1023 bytes per read), then
// the body.

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "retrieval/line_reader.h"
#include "wininet_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t count = data[0] % 8 + 1;
  if (size < 1 + 2 * count) return 0;
  wininet_double::Response response;
  for (size_t i = 0; i < count; ++i) {
    const unsigned raw = data[1 + 2 * i] | data[2 + 2 * i] << 8;
    response.read_sizes.push_back(1 + raw % ReadChunk);
  }
  const size_t body_at = 1 + 2 * count;
  response.body.assign(reinterpret_cast<const char*>(data) + body_at, size - body_at);
  std::string expected;
  for (char byte : response.body)
    if (byte != '\r' && byte != '\n') expected += byte;

  wininet_double::reset(wininet_double::always(response));
  HINTERNET session = InternetOpenA("fuzz", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET request = InternetOpenUrlA(session, "http://fuzz/", nullptr, 0, 0, 0);
  FUZZ_CHECK(request != nullptr);

  ResponseReader reader = start_reader(session, request);
  Line line;
  std::string joined;
  // Every call that returns a line consumes at least one byte.
  for (size_t calls = 0; calls <= response.body.size() + 1; ++calls) {
    memset(line.text, 0x5A, sizeof line.text);
    const char* text = next_line(&reader, &line);
    if (text == nullptr) break;
    FUZZ_CHECK(text == line.text);
    FUZZ_CHECK(line.length <= LineCapacity - 1);
    FUZZ_CHECK(line.text[line.length] == '\0');
    joined.append(line.text, line.length);
  }
  FUZZ_CHECK(next_line(&reader, &line) == nullptr);
  FUZZ_CHECK(joined == expected);
  InternetCloseHandle(request);
  InternetCloseHandle(session);
  return 0;
}
