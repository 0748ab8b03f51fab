#include "tidy/convert.h"

#include <cerrno>
#include <cstring>

#include "tidy/block.h"
#include "tidy/rows.h"

namespace tidy {

namespace {

constexpr size_t FlushSize = 1 << 20;
constexpr size_t KeptOpen = 64;

const char* const Program = "kessan-tidy: ";

}  // namespace

int convert(const Options& options, const Io& io) {
  std::vector<std::string> inputs = options.inputs;
  if (inputs.empty()) inputs.push_back("-");
  auto shown = [&](const std::string& input) {
    return input == "-" ? "<stdin>" : io.name_text ? io.name_text(input) : input;
  };
  // Every input is opened before anything is written; the first ones stay open, the others are
  // opened again in turn (open files are limited).
  std::vector<Source> sources(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string reason;
    if (!io.open(inputs[i], sources[i], reason)) {
      io.report(Program + shown(inputs[i]) + ": cannot open: " + reason);
      return Failed;
    }
    if (i >= KeptOpen) sources[i] = nullptr;
  }
  std::string out;
  out.reserve(FlushSize + 64 * 1024);
  append_start(out, options.format, options.encoding, options.header);
  bool skipped = false;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string name = shown(inputs[i]);
    std::string reason;
    if (!sources[i] && !io.open(inputs[i], sources[i], reason)) {
      io.report(Program + name + ": cannot open: " + reason);
      io.write(out);
      return Failed;
    }
    LineSplitter lines(std::move(sources[i]));
    BlockReader reader;
    Line line;
    BlockReader::Result result = BlockReader::Result::More;
    for (;;) {
      LineSplitter::Next next = lines.next(line);
      if (next == LineSplitter::Next::ReadError) {
        io.report(Program + name + ": cannot read after line " + std::to_string(line.number) +
                  ": " + strerror(errno));
        io.write(out);
        return Failed;
      }
      result = next == LineSplitter::Next::Line ? reader.line(line) : reader.end(line.number);
      if (result == BlockReader::Result::Block) {
        append_rows(out, reader.block(), options.format, options.encoding);
        if (out.size() >= FlushSize) {
          if (!io.write(out)) return Failed;
          out.clear();
        }
      } else if (result == BlockReader::Result::Refused) {
        io.report(Program + name + ":" + std::to_string(reader.refused_line()) + ": " +
                  reader.message());
        if (!options.keep_going) {
          io.write(out);
          return Failed;
        }
        skipped = true;
      }
      if (next == LineSplitter::Next::End) break;
    }
  }
  if (!io.write(out)) return Failed;
  return skipped ? Skipped : Converted;
}

}  // namespace tidy
