#include <io.h>
#include <windows.h>

#include "platform/scratch.h"

// A console, not any character device as _isatty has it: NUL takes a workbook.
bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}
