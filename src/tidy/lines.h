#pragma once

// The input cut into lines, read through a large buffer: memory stays the same whatever the
// input's size.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tidy {

// Reads up to size bytes into buffer: the count, 0 at the end, or -1 (errno set) when reading
// failed.
using Source = std::function<long long(char* buffer, size_t size)>;

// Longer lines are not the sweep's output; they are reported, not held.
constexpr size_t MaxLineLength = 64 * 1024;

struct Line {
  std::string_view text;  // without LF or CR LF; valid until the next call
  long long number = 0;   // 1 for the first line
  bool has_line_end = true;
  bool too_long = false;  // text holds only the line's first MaxLineLength bytes
};

class LineSplitter {
 public:
  explicit LineSplitter(Source source, size_t buffer_size = 1 << 20);

  enum class Next { Line, End, ReadError };
  Next next(Line& line);

 private:
  bool fill();

  Source source_;
  std::vector<char> buffer_;
  size_t start_ = 0, end_ = 0;
  long long number_ = 0;
  bool at_end_ = false;
  bool failed_ = false;
  std::string preview_;  // the start of a line that is too long
};

}  // namespace tidy
