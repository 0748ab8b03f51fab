#include <windows.h>

#include "platform/text_encoding.h"

bool platform_unit_to_utf8(std::string_view unit, std::string& out) {
  wchar_t wide[4];
  int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, unit.data(), static_cast<int>(unit.size()),
                              wide, 4);
  if (n <= 0) return false;
  char utf8[16];
  int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof utf8, nullptr, nullptr);
  if (m <= 0) return false;
  out.append(utf8, m);
  return true;
}
