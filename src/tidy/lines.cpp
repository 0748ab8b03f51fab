#include "tidy/lines.h"

#include <cstring>

namespace tidy {

LineSplitter::LineSplitter(Source source, size_t buffer_size)
    : source_(std::move(source)),
      buffer_(buffer_size < 2 * MaxLineLength ? 2 * MaxLineLength : buffer_size) {}

// Moves the unread bytes to the front and reads more after them; false at the end or on error.
bool LineSplitter::fill() {
  if (at_end_) return false;
  memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
  end_ -= start_;
  start_ = 0;
  long long got = source_(buffer_.data() + end_, buffer_.size() - end_);
  if (got < 0) failed_ = true;
  if (got <= 0) {
    at_end_ = true;
    return false;
  }
  end_ += static_cast<size_t>(got);
  return true;
}

LineSplitter::Next LineSplitter::next(Line& line) {
  size_t scanned = 0;  // bytes after start_ known to hold no LF
  bool too_long = false;
  const char* lf = nullptr;
  for (;;) {
    lf = static_cast<const char*>(
        memchr(buffer_.data() + start_ + scanned, '\n', end_ - start_ - scanned));
    if (lf != nullptr) break;
    scanned = end_ - start_;
    if (scanned > MaxLineLength) {
      // Kept: the start of the line, for the message; the rest is dropped up to its LF.
      if (!too_long) preview_.assign(buffer_.data() + start_, 64);
      too_long = true;
      start_ = end_;
      scanned = 0;
    }
    if (!fill()) break;
  }
  if (failed_) return Next::ReadError;
  if (lf == nullptr && start_ == end_ && !too_long) return Next::End;
  const char* begin = buffer_.data() + start_;
  size_t length = lf != nullptr ? static_cast<size_t>(lf - begin) : end_ - start_;
  if (!too_long && length > MaxLineLength) {
    preview_.assign(begin, 64);
    too_long = true;
  }
  line.number = ++number_;
  line.has_line_end = lf != nullptr;
  line.too_long = too_long;
  line.text = too_long ? std::string_view(preview_) : std::string_view(begin, length);
  if (line.has_line_end && !too_long && !line.text.empty() && line.text.back() == '\r') {
    line.text.remove_suffix(1);
  }
  start_ += lf != nullptr ? length + 1 : length;
  return Next::Line;
}

}  // namespace tidy
