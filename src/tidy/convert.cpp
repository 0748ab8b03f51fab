#include "tidy/convert.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>

#include "platform/files.h"
#include "platform/text_encoding.h"
#include "tidy/block.h"
#include "tidy/decode.h"
#include "tidy/history.h"
#include "tidy/workbook.h"
#include "tidy/writer.h"

namespace tidy {

namespace {

constexpr size_t KeptOpen = 64;

const char* const Program = "kessan-tidy: ";

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
  bool finish() override {
    if (!book_) return false;
    scratch_file_in_use(true);
    const bool closed = book_->close();
    scratch_file_in_use(false);
    return (closed || report()) && (book_->copy(io_.write) || copy_failed());
  }

 private:
  bool report() {
    io_.report(Program + book_->error());
    return false;
  }
  bool copy_failed() { return !book_->error().empty() && report(); }
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

// The history table's cells of a row; fiscal holds the fiscal period's text.
void history_cells(const History::Row& row, std::string& fiscal, std::vector<Cell>& cells) {
  cells.resize(history_table().columns.size());
  cells[0] = figure_cell(row.code);
  cells[1] = sjis_cell(row.name);
  cells[2] = utf8_cell(row.sweep);
  cells[3] = figure_cell(row.revised);
  item_cells(row.fields, fiscal, &cells[HistoryItems]);
  cells[HistoryItems + ItemColumns] = figure_cell(row.split_factor);
  for (size_t k = 0; k < row.adjusted.size(); ++k) {
    cells[HistoryItems + ItemColumns + 1 + k] = figure_cell(row.adjusted[k]);
  }
}

// Writes the history's rows.
bool write_history(TableWriter& writer, const History& history) {
  std::vector<Cell> cells;
  std::string fiscal;
  return writer.begin(history_table()) && history.each_row([&](const History::Row& row) {
    history_cells(row, fiscal, cells);
    return writer.row(cells);
  });
}

// Writes the changes across the sweeps; a figure by its label with the Japanese header.
bool write_changes(TableWriter& writer, const History& history, Header header) {
  std::vector<Cell> cells(changes_table().columns.size());
  auto sweep = [&](long long index) {
    return index < 0 ? Cell{} : utf8_cell(history.sweep_name(index));
  };
  return writer.begin(changes_table()) && history.each_change([&](const History::Change& change,
                                                                  std::string_view name) {
    std::string code = std::to_string(change.code), end;
    if (change.period_end >= 0) {
      end = std::to_string(change.period_end / 100) + "/" + std::to_string(change.period_end % 100);
    }
    cells[0] = utf8_cell(change.kind);
    cells[1] = figure_cell(code);
    cells[2] = sjis_cell(name);
    cells[3] = end.empty() ? Cell{} : Cell{Cell::Type::Month, end};
    if (change.figure < 0) {
      cells[4] = {};
    } else {
      const Column& figure = history_table().columns[change.figure];
      cells[4] = utf8_cell(header == Header::Ja ? figure.label : figure.name);
    }
    auto value = [&](const std::string& text) {
      return text.empty() ? Cell{} : Cell{change.value, text};
    };
    cells[5] = value(change.before);
    cells[6] = sweep(change.before_sweep);
    cells[7] = value(change.after);
    cells[8] = sweep(change.after_sweep);
    return writer.row(cells);
  });
}

// The history table's column of that name; -1: none.
int history_column(const std::string& name) {
  const std::vector<Column>& columns = history_table().columns;
  for (size_t column = 0; column < columns.size(); ++column) {
    if (columns[column].name == name) return static_cast<int>(column);
  }
  return -1;
}

// Writes a trend sheet per figure: a row per company with a dated period, its figure per calendar
// year of period_end, the later period where two end in one year. A per-share figure's column
// adjusted for splits (name_adjusted), where the history has one, gives the values.
bool write_trends(TableWriter& writer, const History& history,
                  const std::vector<std::string>& figures, Scale scale) {
  const int end_column = history_column("period_end"), months_column = history_column("months");
  std::vector<Cell> cells;
  std::string fiscal;
  int first = 9999, last = 0;
  history.each_row([&](const History::Row& row) {
    history_cells(row, fiscal, cells);
    const long long end = calendar_value(cells[end_column].text, false);
    if (end >= 0) {
      first = std::min(first, static_cast<int>(end / 100));
      last = std::max(last, static_cast<int>(end / 100));
    }
    return true;
  });
  if (first > last) first = 1, last = 0;  // no dated period: no year
  std::list<Table> tables;
  for (const std::string& name : figures) {
    const int shown = history_column(name);
    const int adjusted = history_column(name + "_adjusted");
    const int source = adjusted >= 0 ? adjusted : shown;
    tables.push_back(trend_table(history_table().columns[shown], first, last, scale));
    const size_t years = static_cast<size_t>(last - first + 1);
    // One company's row: its values held until its next company's row arrives.
    std::string code, company;
    std::vector<std::string> values(years);
    std::vector<char> seen(years), marked(years);
    bool any = false;
    auto put = [&]() {
      if (!any) return true;
      std::vector<Cell> row(3 + years);
      row[0] = figure_cell(code);
      row[1] = sjis_cell(company);
      for (size_t year = 0; year < years; ++year) {
        row[3 + year] = figure_cell(values[year]);
        row[3 + year].marked = marked[year] != 0;
      }
      any = false;
      return writer.row(row);
    };
    const bool written = writer.begin(tables.back()) &&
                         history.each_row([&](const History::Row& row) {
                           if (row.code != code && !put()) return false;
                           if (row.code != code) {
                             code = row.code;
                             company = row.name;
                             std::fill(values.begin(), values.end(), "");
                             std::fill(seen.begin(), seen.end(), 0);
                             std::fill(marked.begin(), marked.end(), 0);
                           }
                           history_cells(row, fiscal, cells);
                           const long long end = calendar_value(cells[end_column].text, false);
                           if (end < 0) return true;
                           // The rows come newest first: a year's first is its later period.
                           const size_t year = static_cast<size_t>(end / 100 - first);
                           if (seen[year]) {
                             marked[year] = 1;
                             return true;
                           }
                           seen[year] = 1;
                           any = true;
                           values[year] = cells[source].text;
                           marked[year] = irregular_period(cells[months_column].text);
                           return true;
                         }) &&
                         put();
    if (!written) return false;
  }
  return true;
}

// The tables of a history: its changes alone with --changes; else the history, and in a
// workbook its changes and trend sheets too.
bool write_history_tables(TableWriter& writer, const History& history, const Options& options) {
  if (options.changes) return write_changes(writer, history, options.header);
  if (!write_history(writer, history)) return false;
  return options.format != Format::Xlsx ||
         (write_changes(writer, history, options.header) &&
          write_trends(writer, history, options.trends, options.scale));
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
    // Reports a refused block; false when it ends the run.
    auto refused = [&](long long at, const std::string& message) {
      io.report(Program + name + ":" + std::to_string(at) + ": " + message);
      skipped = true;
      if (!options.keep_going) writer->flush();
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
        writer->flush();
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
      } else if (result == BlockReader::Result::Block) {
        if (!write_block(*writer, reader.block(), cells)) return Failed;
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
  const bool written =
      (!options.history || write_history_tables(*writer, history, options)) && writer->finish();
  if (!written) return Failed;
  if (options.history) io.report(Program + history.summary());
  return skipped ? Skipped : Converted;
}

}  // namespace tidy
