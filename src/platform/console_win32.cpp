#include <windows.h>
// After windows.h:
#include <io.h>

#include "platform/console.h"

int64_t monotonic_milliseconds() { return static_cast<int64_t>(GetTickCount64()); }

bool stream_is_terminal(FILE* stream) {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// A console shows the text in UTF-16, whatever its code page. Each piece ends after a whole
// character of code page 932 (the callers write whole pairs).
void write_to_terminal(FILE* stream, const char* text, size_t length) {
  fflush(stream);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  wchar_t wide[1024];
  while (length > 0) {
    size_t piece = 0;
    while (piece < length && piece < 1023) piece += IsDBCSLeadByteEx(932, text[piece]) ? 2 : 1;
    if (piece > length) piece = length;
    int n = MultiByteToWideChar(932, 0, text, static_cast<int>(piece), wide, 1024);
    DWORD written = 0;
    if (n <= 0 || !WriteConsoleW(handle, wide, static_cast<DWORD>(n), &written, nullptr)) {
      fwrite(text, 1, piece, stream);
    }
    text += piece;
    length -= piece;
  }
}
