#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <stdexcept>

#include "platform/text_encoding.h"

bool platform_unit_to_utf8(std::string_view unit, std::string& out) {
  static iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv has no CP932 converter: ") + strerror(errno));
  }
  char in_buffer[2];
  char out_buffer[16];
  unit.copy(in_buffer, sizeof in_buffer);
  char* in = in_buffer;
  size_t in_left = unit.size();
  char* to = out_buffer;
  size_t out_left = sizeof out_buffer;
  size_t done = iconv(converter, &in, &in_left, &to, &out_left);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (done == static_cast<size_t>(-1) || in_left != 0) return false;
  out.append(out_buffer, to - out_buffer);
  return true;
}
