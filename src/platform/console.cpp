#include "platform/console.h"

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace {

// Whether stdout and stderr are terminals: asked once, as the sweep writes them thousands of times.
enum class Kind { Unknown, Terminal, Other };
Kind output_kind = Kind::Unknown, error_kind = Kind::Unknown;

bool terminal(FILE* stream) {
  if (stream != stdout && stream != stderr) return is_terminal(stream);
  Kind& kind = stream == stdout ? output_kind : error_kind;
  if (kind == Kind::Unknown) kind = is_terminal(stream) ? Kind::Terminal : Kind::Other;
  return kind == Kind::Terminal;
}

// The width of the status line shown, in columns: in Shift_JIS one per byte.
size_t status_width = 0;

}  // namespace

void write_text(FILE* stream, const char* text, size_t length) {
  if (!terminal(stream)) {
    fwrite(text, 1, length, stream);
    return;
  }
  clear_status_line();
  write_to_terminal(stream, text, length);
}

void report_error(const char* message) {
  const char* reason = strerror(errno);
  write_text(stderr, message, strlen(message));
  write_text(stderr, ": ", 2);
  write_text(stderr, reason, strlen(reason));
  write_text(stderr, "\n", 1);
}

bool status_line_possible() { return terminal(stderr); }

void show_status_line(const char* text, size_t length) {
  if (!terminal(stderr)) return;
  if (terminal(stdout)) fflush(stdout);
  char line[256];
  if (length > sizeof line - 2) length = sizeof line - 2;
  // The new line is padded with spaces over any longer one shown before it.
  size_t padded = length > status_width ? length : status_width;
  line[0] = '\r';
  memcpy(line + 1, text, length);
  memset(line + 1 + length, ' ', padded - length);
  write_to_terminal(stderr, line, padded + 1);
  status_width = length;
}

void clear_status_line() {
  if (status_width == 0) return;
  char blank[256];
  blank[0] = '\r';
  memset(blank + 1, ' ', status_width);
  blank[status_width + 1] = '\r';
  write_to_terminal(stderr, blank, status_width + 2);
  status_width = 0;
}
