#include <io.h>
#include <windows.h>

#include "platform/scratch.h"

// In the ANSI code page: the name goes to a library that opens it with fopen.
std::string create_scratch_file(std::string& error) {
  char folder[MAX_PATH + 1], name[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "kt", 0, name) == 0) {
    error = "no temporary file in the system's folder (Windows error " +
            std::to_string(GetLastError()) + ")";
    return "";
  }
  return name;
}

// A console, not any character device as _isatty has it: NUL takes a workbook.
bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}
