#pragma once

// The cell text the scanner hands to the value parsers: at most 63 bytes, terminated, in an
// allocation of its own so that a read past the terminator is caught.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

inline std::unique_ptr<char[]> cell_text(const uint8_t* data, size_t size) {
  const size_t length = strnlen(reinterpret_cast<const char*>(data), size < 63 ? size : 63);
  auto text = std::make_unique<char[]>(length + 1);
  memcpy(text.get(), data, length);
  text[length] = '\0';
  return text;
}
