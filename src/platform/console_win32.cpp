#include <windows.h>
// After windows.h:
#include <io.h>

#include <string>

#include "platform/console.h"

// A console shows the text in UTF-16, whatever its code page; the pairs of code page 932 are
// whole in each call, which carries whole lines.
void write_to_terminal(FILE* stream, const char* text, size_t length) {
  fflush(stream);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  std::wstring wide(length, L'\0');
  int n = length == 0 ? 0
                      : MultiByteToWideChar(932, 0, text, static_cast<int>(length), wide.data(),
                                            static_cast<int>(wide.size()));
  DWORD written = 0;
  if (n > 0 && WriteConsoleW(handle, wide.data(), static_cast<DWORD>(n), &written, nullptr)) return;
  fwrite(text, 1, length, stream);
}
