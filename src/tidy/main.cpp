#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tidy/convert.h"
#include "tidy/options.h"
#include "version.h"

namespace {

using tidy::Io;
using tidy::Source;

Source file_source(FILE* file) {
  std::shared_ptr<FILE> owned(file, [](FILE* f) {
    if (f != stdin) fclose(f);
  });
  return [owned](char* buffer, size_t size) -> long long {
    size_t got = fread(buffer, 1, size, owned.get());
    if (got == 0 && ferror(owned.get())) return -1;
    return static_cast<long long>(got);
  };
}

// True when the output file is one of the inputs, which the finished table would replace.
bool output_is_an_input(const tidy::Options& options) {
  for (const std::string& input : options.inputs) {
    if (input != "-" && same_file(input, options.output)) return true;
  }
  const bool reads_standard_input =
      options.inputs.empty() ||
      std::find(options.inputs.begin(), options.inputs.end(), "-") != options.inputs.end();
  return reads_standard_input && is_standard_input(options.output);
}

void say(const std::string& text) { write_message("kessan-tidy: " + text); }

int run(const tidy::Options& options) {
  FILE* out = stdout;
  std::string shown = "standard output", temporary, replaced;
  if (!options.output.empty()) {
    shown = options.output;
    std::string error = output_refusal(options.output);
    if (!error.empty()) {
      say("cannot replace " + shown + ": " + error);
      return tidy::Failed;
    }
    out = open_output(options.output, temporary, replaced, error);
    if (out == nullptr) {
      // A device is written directly: no file beside it is made.
      say((replaced.empty() ? "cannot write to " : "cannot create a file beside ") + shown + ": " +
          error);
      return tidy::Failed;
    }
  }
  bool write_failed = false;
  auto write_error = [&](int error) {
    // Standard output closed by its reader (kessan-tidy ... | head) ends the run quietly, as it
    // ends other tools: the reader wanted no more.
    const bool reader_gone = out == stdout && error == EPIPE;
    if (!write_failed && !reader_gone) say("cannot write " + shown + ": " + strerror(error));
    write_failed = true;
    return false;
  };
  Io io;
  io.open = [](const std::string& name, Source& source, bool& again, std::string& reason) {
    FILE* file = name == "-" ? stdin : open_input(name);
    if (file == nullptr) {
      const int error = errno;
      reason = strerror(error);
      errno = error;
      return false;
    }
    struct stat status;
    again = file != stdin && fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
    source = file_source(file);
    return true;
  };
  io.write = [&](std::string_view bytes) {
    if (write_failed) return false;
    if (fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return write_error(errno);
    return true;
  };
  io.report = [](const std::string& message) { write_message(message); };

  int code = tidy::Failed;
  try {
    code = tidy::convert(options, io);
  } catch (const std::exception& e) {
    say(e.what());
  }
  if (fflush(out) != 0 && code != tidy::Failed) {
    write_error(errno);
    code = tidy::Failed;
  }
  if (write_failed) code = tidy::Failed;
  if (out == stdout) return code;
  if (fclose(out) != 0 && code != tidy::Failed) {
    write_error(errno);
    code = tidy::Failed;
  }
  if (temporary.empty()) return code;
  if (code != tidy::Failed) {
    std::string error = replace_file(temporary, replaced);
    if (error.empty()) return code;
    say("cannot rename " + temporary + " to " + replaced + ": " + error);
    code = tidy::Failed;
  }
  remove_temporary(temporary);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_writer();
  set_binary_stdio();
  tidy::Options options;
  std::string error;
  switch (tidy::parse_command_line(command_line_arguments(argc, argv), options, error)) {
    case tidy::Parsed::Help:
      fputs(tidy::Usage, stdout);
      return fflush(stdout) == 0 ? tidy::Converted : tidy::Failed;
    case tidy::Parsed::Version:
      printf("kessan-tidy %s\n", KessanVersion);
      return fflush(stdout) == 0 ? tidy::Converted : tidy::Failed;
    case tidy::Parsed::Wrong:
      say(error);
      write_message("Try 'kessan-tidy --help'.");
      return tidy::WrongUsage;
    case tidy::Parsed::Run:
      break;
  }
  if (!expand_wildcards(options.inputs, error)) {
    say(error);
    return tidy::Failed;
  }
#ifdef KESSAN_TIDY_SHEET_ROWS
  options.sheet_rows = KESSAN_TIDY_SHEET_ROWS;
#endif
  if (options.format == tidy::Format::Xlsx && options.output.empty() && is_terminal(stdout)) {
    say("a workbook is not written to a terminal: give -o FILE, or redirect standard output");
    return tidy::WrongUsage;
  }
  if (!options.output.empty() && output_is_an_input(options)) {
    say("-o " + options.output + " is also an input; the table would replace it");
    return tidy::WrongUsage;
  }
  return run(options);
}
