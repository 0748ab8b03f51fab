#include "tidy/convert.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"
#include "tidy/block.h"
#include "tidy/decode.h"
#include "tidy/history.h"
#include "tidy/workbook.h"
#include "tidy/writer.h"

namespace tidy {

namespace {

constexpr size_t FlushSize = 1 << 20;
constexpr size_t KeptOpen = 64;

const char* const Program = "kessan-tidy: ";

// Copies the finished workbook through io.
bool copy_file(const std::string& path, const Io& io) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "rb"), fclose);
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

// Tables as a workbook, built in a scratch file and written through io only when whole.
class SheetOutput : public TableWriter {
 public:
  SheetOutput(const Options& options, const Io& io) : io_(io) {
    std::string error;
    path_ = create_scratch_file(error);
    if (path_.empty()) {
      io.report(Program + std::string("cannot create a scratch file for the workbook: ") + error);
      return;
    }
    book_ = std::make_unique<Workbook>(path_, options.header, options.scale, options.sheet_rows);
  }
  ~SheetOutput() override {
    book_.reset();
    if (!path_.empty()) remove_scratch_file(path_);
  }
  bool ready() const { return book_ != nullptr; }
  bool begin(const Table& table) override { return book_ && (book_->begin(table) || report()); }
  bool row(const std::vector<Cell>& cells) override {
    return book_ && (book_->row(cells) || report());
  }
  bool flush() override { return true; }  // a workbook is written whole or not at all
  bool finish() override { return book_ && (book_->close() || report()) && copy_file(path_, io_); }

 private:
  bool report() {
    io_.report(Program + book_->error());
    return false;
  }
  const Io& io_;
  std::string path_;
  std::unique_ptr<Workbook> book_;
};

// Writes the block's rows, one per period.
bool write_block(TableWriter& writer, const Block& block, std::vector<Cell>& cells) {
  std::string fiscal;
  for (int k = 0; k < block.periods; ++k) {
    block_cells(block, k, fiscal, cells);
    if (!writer.row(cells)) return false;
  }
  return true;
}

// Writes the history's rows.
bool write_history(TableWriter& writer, const History& history) {
  std::vector<Cell> cells(history_table().columns.size());
  std::string fiscal;
  return writer.begin(history_table()) && history.each_row([&](const History::Row& row) {
    cells[0] = figure_cell(row.code);
    cells[1] = sjis_cell(row.name);
    cells[2] = utf8_cell(row.sweep);
    cells[3] = figure_cell(row.revised);
    item_cells(row.fields, fiscal, &cells[4]);
    cells[4 + ItemColumns] = figure_cell(row.split_factor);
    for (size_t k = 0; k < row.adjusted.size(); ++k) {
      cells[5 + ItemColumns + k] = figure_cell(row.adjusted[k]);
    }
    return writer.row(cells);
  });
}

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
  std::unique_ptr<TableWriter> writer;
  if (options.format == Format::Xlsx) {
    auto sheet = std::make_unique<SheetOutput>(options, io);
    if (!sheet->ready()) return Failed;
    writer = std::move(sheet);
  } else {
    writer =
        std::make_unique<TextWriter>(options.format, options.encoding, options.header, io.write);
  }
  // A history is written only once every input has been read.
  History history;
  std::vector<Cell> cells(sweep_table().columns.size());
  if (!options.history && !writer->begin(sweep_table())) return Failed;
  bool skipped = false;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string name = shown(inputs[i]);
    std::string reason;
    bool reopens = false;
    if (!sources[i] && !io.open(inputs[i], sources[i], reopens, reason)) {
      io.report(Program + name + ": cannot open: " + reason);
      writer->flush();
      return Failed;
    }
    auto decoder = std::make_shared<Decoder>(std::move(sources[i]));
    LineSplitter lines(
        [decoder](char* buffer, size_t size) { return decoder->read(buffer, size); });
    BlockReader reader;
    bool block_read = false;
    Line line;
    BlockReader::Result result = BlockReader::Result::More;
    for (;;) {
      LineSplitter::Next next = lines.next(line);
      if (next == LineSplitter::Next::ReadError) {
        io.report(decoder->refusal().empty()
                      ? Program + name + ": cannot read after line " + std::to_string(line.number) +
                            ": " + strerror(errno)
                      : Program + name + ":" + std::to_string(line.number + 1) + ": " +
                            decoder->refusal());
        writer->flush();
        return Failed;
      }
      result = next == LineSplitter::Next::Line ? reader.line(line) : reader.end(line.number);
      if (result == BlockReader::Result::Block) block_read = true;
      if (result == BlockReader::Result::Block && options.history) {
        history.add(reader.block());
      } else if (result == BlockReader::Result::Block) {
        if (!write_block(*writer, reader.block(), cells)) return Failed;
      } else if (result == BlockReader::Result::Refused) {
        // A converted file whose first block is wrong was most likely read through a console
        // of another code page, which turned the labels into other characters.
        const bool misread = !block_read && decoder->saved() != Saved::AsShiftJis;
        io.report(Program + name + ":" + std::to_string(reader.refused_line()) + ": " +
                  (misread
                       ? decoder->advice(reader.message() + " (a console of another code page?)")
                       : reader.message()));
        if (!options.keep_going) {
          writer->flush();
          return Failed;
        }
        skipped = true;
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
  const bool written = (!options.history || write_history(*writer, history)) && writer->finish();
  if (!written) return Failed;
  if (options.history) io.report(Program + history.summary());
  return skipped ? Skipped : Converted;
}

}  // namespace tidy
