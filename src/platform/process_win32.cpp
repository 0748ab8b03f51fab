#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>

#include "platform/process.h"

namespace {

// Room for the longest company: its summary line and 23 rows of three fields.
constexpr size_t ConsoleBuffer = 16 * 1024;

bool output_is_console = false, error_is_console = false;

// A console shows a two-byte character that reaches it in two writes as two wrong ones, and the
// C runtime writes an unbuffered stream a byte at a time and a translated one in pieces of a
// kilobyte. A console's text is gathered and written untranslated: a console starts a new line
// at LF alone.
bool gather_for_console(FILE* stream) {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  _setmode(_fileno(stream), _O_BINARY);
  setvbuf(stream, nullptr, _IOFBF, ConsoleBuffer);
  return true;
}

}  // namespace

// Windows has no file size signal: a write past a quota fails.
void prepare_process() {
  output_is_console = gather_for_console(stdout);
  error_is_console = gather_for_console(stderr);
}

void end_console_output(FILE* stream) {
  if ((stream == stdout && output_is_console) || (stream == stderr && error_is_console)) {
    fflush(stream);
  }
}
