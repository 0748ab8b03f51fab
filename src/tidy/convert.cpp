#include "tidy/convert.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"
#include "platform/text_encoding.h"
#include "tidy/block.h"
#include "tidy/decode.h"
#include "tidy/history.h"
#include "tidy/rows.h"
#include "tidy/workbook.h"

namespace tidy {

namespace {

constexpr size_t FlushSize = 1 << 20;
constexpr size_t KeptOpen = 64;

const char* const Program = "kessan-tidy: ";

// Copies the finished workbook through io.
bool copy_file(const std::string& path, const Io& io) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(open_scratch_file(path), fclose);
  if (!file) {
    io.report(Program + std::string("cannot read back the workbook: ") + strerror(errno));
    return false;
  }
  std::string buffer(FlushSize, '\0');
  while (size_t got = fread(buffer.data(), 1, buffer.size(), file.get())) {
    if (!io.write(std::string_view(buffer).substr(0, got))) return false;
  }
  if (!ferror(file.get())) return true;
  io.report(Program + std::string("cannot read back the workbook: ") + strerror(errno));
  return false;
}

// The table as a workbook, built in a scratch file and written through io only when whole.
class SheetOutput {
 public:
  SheetOutput(const Options& options, const Io& io) : io_(io) {
    std::string error;
    path_ = create_scratch_file(error);
    if (path_.empty()) {
      io.report(Program + std::string("cannot create a scratch file for the workbook: ") + error);
      return;
    }
    book_ = std::make_unique<Workbook>(path_, options.header, options.sheet_rows, options.history);
  }
  ~SheetOutput() {
    book_.reset();
    if (!path_.empty()) remove_scratch_file(path_);
  }
  bool ready() const { return book_ != nullptr; }
  template <typename Rows>
  bool add(const Rows& rows) {
    return book_ && (book_->add(rows) || report());
  }
  bool finish() {
    if (!book_) return false;
    scratch_file_in_use(true);
    const bool closed = book_->close();
    scratch_file_in_use(false);
    return (closed || report()) && copy_file(path_, io_);
  }

 private:
  bool report() {
    io_.report(Program + book_->error());
    return false;
  }
  const Io& io_;
  std::string path_;
  std::unique_ptr<Workbook> book_;
};

}  // namespace

int convert(const Options& options, const Io& io) {
  std::vector<std::string> inputs = options.inputs;
  if (inputs.empty()) inputs.push_back("-");
  auto shown = [&](const std::string& input) {
    return input == "-" ? "<stdin>" : io.name_text ? io.name_text(input) : input;
  };
  // Every input is opened before anything is written. Up to KeptOpen of those that can be opened
  // again stay open, none once the descriptors have run out; the others are opened again in turn.
  // Standard input and FIFOs stay open: they cannot be read twice.
  std::vector<Source> sources(inputs.size());
  std::vector<bool> again(inputs.size());
  size_t kept = 0;
  bool keep = true;
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string reason;
    bool reopens = false;
    bool opened = io.open(inputs[i], sources[i], reopens, reason);
    if (!opened && keep && (errno == EMFILE || errno == ENFILE)) {
      keep = false;
      for (size_t j = 0; j < i; ++j) {
        if (again[j]) sources[j] = nullptr;
      }
      opened = io.open(inputs[i], sources[i], reopens, reason);
    }
    if (!opened) {
      io.report(Program + shown(inputs[i]) + ": cannot open: " + reason);
      return Failed;
    }
    again[i] = reopens;
    if (reopens && (!keep || ++kept > KeptOpen)) sources[i] = nullptr;
  }
  std::unique_ptr<SheetOutput> sheet;
  if (options.format == Format::Xlsx) {
    sheet = std::make_unique<SheetOutput>(options, io);
    if (!sheet->ready()) return Failed;
  }
  std::string out;
  out.reserve(FlushSize + 64 * 1024);
  // A history is written only once every input has been read.
  History history;
  if (!options.history && !sheet) {
    append_start(out, options.format, options.encoding, options.header);
  }
  bool skipped = false;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string name = shown(inputs[i]);
    std::string reason;
    bool reopens = false;
    if (!sources[i] && !io.open(inputs[i], sources[i], reopens, reason)) {
      io.report(Program + name + ": cannot open: " + reason);
      io.write(out);
      return Failed;
    }
    auto decoder = std::make_shared<Decoder>(std::move(sources[i]));
    LineSplitter lines(
        [decoder](char* buffer, size_t size) { return decoder->read(buffer, size); });
    BlockReader reader;
    bool block_read = false;
    Line line;
    BlockReader::Result result = BlockReader::Result::More;
    // Reports a refused block; false when it ends the run.
    auto refused = [&](long long at, const std::string& message) {
      io.report(Program + name + ":" + std::to_string(at) + ": " + message);
      skipped = true;
      if (!options.keep_going) io.write(out);
      return options.keep_going;
    };
    for (;;) {
      LineSplitter::Next next = lines.next(line);
      if (next == LineSplitter::Next::ReadError) {
        io.report(decoder->refusal().empty()
                      ? Program + name + ": cannot read after line " + std::to_string(line.number) +
                            ": " + strerror(errno)
                      : Program + name + ":" + std::to_string(line.number + 1) + ": " +
                            decoder->refusal());
        io.write(out);
        return Failed;
      }
      result = next == LineSplitter::Next::Line ? reader.line(line) : reader.end(line.number);
      if (result == BlockReader::Result::Block) block_read = true;
      if (result == BlockReader::Result::Block && decoder->saved() != Saved::AsShiftJis &&
          reader.block().name().find('?') != std::string_view::npos) {
        // In a converted file a '?' cannot be told from a character that the console lost.
        std::string shown_name;
        append_sjis_as_utf8(shown_name, reader.block().name());
        if (!refused(reader.block().line,
                     decoder->advice("the name \"" + shown_name +
                                     "\" holds '?': the console could not read a character "
                                     "there, or the name has a '?' of its own"))) {
          return Failed;
        }
      } else if (result == BlockReader::Result::Block && options.history) {
        history.add(reader.block());
      } else if (result == BlockReader::Result::Block && sheet) {
        if (!sheet->add(reader.block())) return Failed;
      } else if (result == BlockReader::Result::Block) {
        append_rows(out, reader.block(), options.format, options.encoding);
        if (out.size() >= FlushSize) {
          if (!io.write(out)) return Failed;
          out.clear();
        }
      } else if (result == BlockReader::Result::Refused) {
        // A converted file whose first block is wrong was most likely read through a console
        // of another code page, which turned the labels into other characters; the sweep's own
        // bytes with labels of '?' passed a pipe that carries only ASCII.
        std::string message = reader.message();
        if (!block_read && decoder->saved() != Saved::AsShiftJis) {
          message = decoder->advice(message + " (a console of another code page?)");
        } else if (!block_read && reader.labels_lost()) {
          message +=
              ": the labels' characters arrived as '?', as Windows PowerShell 5.1's pipe "
              "(kessan.exe | kessan-tidy.exe) passes them: save the sweep's own bytes with "
              "cmd /c \"kessan.exe > results.csv\", then convert that file";
        }
        if (!refused(reader.refused_line(), message)) return Failed;
      }
      if (next == LineSplitter::Next::End) break;
    }
    std::string why;
    if (options.history && !history.end_sweep(inputs[i] == "-" ? inputs[i] : name, why)) {
      io.report(Program + name + ": " + why);
      if (!options.keep_going) return Failed;
      skipped = true;
    }
  }
  bool written = false;
  if (options.history && sheet) {
    written = history.each_row([&](const History::Row& row) { return sheet->add(row); }) &&
              sheet->finish();
  } else if (options.history) {
    append_start(out, options.format, options.encoding, options.header, true);
    written = io.write(out) && history.write(options.format, options.encoding, io.write);
  } else {
    written = sheet ? sheet->finish() : io.write(out);
  }
  if (!written) return Failed;
  if (options.history) io.report(Program + history.summary());
  return skipped ? Skipped : Converted;
}

}  // namespace tidy
