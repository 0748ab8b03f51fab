#pragma once

// One run: the inputs one after another, block by block, into the table.

#include <functional>
#include <string>
#include <string_view>

#include "tidy/lines.h"
#include "tidy/options.h"

namespace tidy {

struct Io {
  // Opens the named input ("-": standard input); false, with errno and the reason, when it
  // cannot. again tells whether the input may be closed and opened again (a regular file).
  std::function<bool(const std::string& name, Source& source, bool& again, std::string& reason)>
      open;
  // Writes bytes of the table; false when it failed (and reported why).
  std::function<bool(std::string_view bytes)> write;
  // Reports one message, without its line end.
  std::function<void(const std::string& message)> report;
  // An input's name as shown in messages (UTF-8); unset: the name itself.
  std::function<std::string(const std::string& name)> name_text;
};

// Exit codes.
constexpr int Converted = 0, Failed = 1, Skipped = 2, WrongUsage = 64;

// Converts the inputs of options through io (a source that fails sets errno): Converted, Failed or
// Skipped. A block's rows are written only once the whole block has been read and found right.
int convert(const Options& options, const Io& io);

}  // namespace tidy
