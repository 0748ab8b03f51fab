#pragma once

// The sweep's output block by block: a summary line "code,name,periods" and the report's 23
// labelled rows, each with one field per period, checked against the forms the sweep prints.

#include <array>
#include <string>
#include <string_view>

#include "items/items.h"
#include "tidy/lines.h"

namespace tidy {

struct Block {
  std::string_view code() const { return std::string_view(summary).substr(0, 4); }
  // Shift_JIS, as printed.
  std::string_view name() const { return std::string_view(summary).substr(5, name_length); }
  int periods = 0;
  long long line = 0;  // of the summary line
  // A field of item 1..23 for period 0..periods-1, as printed.
  std::string_view field(int item, int period) const {
    const Span& s = fields[item - 1][period];
    return std::string_view(text).substr(s.start, s.length);
  }

  struct Span {
    size_t start, length;
  };
  std::string summary;
  size_t name_length = 0;
  std::string text;  // the rows' fields
  std::array<std::array<Span, MaxPeriods>, ItemCount> fields;
};

// Reads blocks line by line. After a refusal it skips lines up to the next valid summary line,
// which starts a block again; a summary line that was refused for coming too early starts one.
// A summary line directly after another starts none: the rows that follow may belong to either
// (standard error captured with standard output), so they are skipped.
class BlockReader {
 public:
  enum class Result { More, Block, Refused };

  Result line(const Line& line);
  // The input ends after line last: a block left open is refused.
  Result end(long long last);

  const Block& block() const { return block_; }
  // The refusal: the line it is about and what was wrong (UTF-8).
  long long refused_line() const { return refused_line_; }
  const std::string& message() const { return message_; }
  // The refusal was of a row whose label is nothing but '?': its characters were lost on the
  // way, as a pipe that passes only ASCII leaves them.
  bool labels_lost() const { return labels_lost_; }

 private:
  Result refuse(long long line, std::string message);
  bool start_block(std::string_view text, long long line, std::string* why);
  Result row(std::string_view text, long long line);
  Result fields(std::string_view rest, long long line);

  enum class State { Summary, Rows, Skipping };
  State state_ = State::Summary;
  int next_item_ = 1;
  bool after_summary_ = false;  // the last line was a summary line
  Block block_;
  long long refused_line_ = 0;
  std::string message_;
  bool labels_lost_ = false;
};

}  // namespace tidy
