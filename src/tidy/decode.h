#pragma once

// The sweep's Shift_JIS from a file as the sweep wrote it, or as a shell that read the sweep
// through the console's code page saved it: UTF-16LE with a byte-order mark (Windows
// PowerShell 5.1), or UTF-8 with or without one (PowerShell 7.0-7.3).

#include <string>

#include "tidy/lines.h"

namespace tidy {

enum class Saved { AsShiftJis, AsUtf16, AsUtf8 };

class Decoder {
 public:
  explicit Decoder(Source source) : source_(std::move(source)) {}

  // Reads like a Source, the text in Shift_JIS. Where the text cannot be given back unchanged,
  // the text before it is read first, then -1 with refusal() set. A '?' is given back as it is:
  // the caller refuses the block it stands in, since it may stand for a character lost.
  long long read(char* buffer, size_t size);

  Saved saved() const { return saved_; }
  // Why reading stopped, with what to run instead; empty when the source failed.
  const std::string& refusal() const { return refusal_; }
  // cause, said of a converted file, with what to run instead.
  std::string advice(const std::string& cause) const;

 private:
  void decide();
  void fill(size_t wanted);
  void convert();

  Source source_;
  bool decided_ = false, source_done_ = false;
  int source_error_ = 0;  // errno of a failed read
  Saved saved_ = Saved::AsShiftJis;
  std::string raw_;
  size_t raw_start_ = 0;  // raw_'s bytes before it are converted
  std::string out_;
  size_t out_start_ = 0;
  std::string refusal_;
};

}  // namespace tidy
