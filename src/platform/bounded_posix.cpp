#include <cerrno>
#include <cstdarg>

#include "platform/bounded.h"

int sprintf_s(char* buf, size_t size, const char* format, ...) {
  if (buf == nullptr || size == 0) return -1;
  va_list args;
  va_start(args, format);
  int written = vsnprintf(buf, size, format, args);
  va_end(args);
  if (written < 0 || static_cast<size_t>(written) >= size) {
    buf[0] = '\0';
    return -1;
  }
  return written;
}

errno_t strcpy_s(char* dst, size_t size, const char* src) {
  if (dst == nullptr || size == 0) return EINVAL;
  if (src == nullptr) {
    dst[0] = '\0';
    return EINVAL;
  }
  size_t length = strnlen(src, size);
  if (length == size) {
    dst[0] = '\0';
    return ERANGE;
  }
  memcpy(dst, src, length + 1);
  return 0;
}

errno_t fopen_s(FILE** file, const char* name, const char* mode) {
  if (file == nullptr) return EINVAL;
  *file = fopen(name, mode);
  return *file == nullptr ? errno : 0;
}
