#pragma once

// Writing tables: one writer per format, each writing any table. The text formats (CSV, TSV,
// JSON Lines) are here; the workbook is in workbook.h.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tidy/table.h"

namespace tidy {

class TableWriter {
 public:
  virtual ~TableWriter() = default;
  // Starts the next table (a workbook's next sheet). False, reported, when it cannot.
  virtual bool begin(const Table& table) = 0;
  // Writes a row of the current table: one cell per column.
  virtual bool row(const std::vector<Cell>& cells) = 0;
  // Writes out what is held, as far as the format allows a part to be written.
  virtual bool flush() = 0;
  // Writes out the whole output.
  virtual bool finish() = 0;
};

// CSV, TSV or JSON Lines, in the encoding given, through write (which reports its own failure);
// the columns for a workbook only are left out. The first column is never one.
class TextWriter : public TableWriter {
 public:
  TextWriter(Format format, Encoding encoding, Header header,
             std::function<bool(std::string_view bytes)> write)
      : format_(format), encoding_(encoding), header_(header), write_(std::move(write)) {}
  bool begin(const Table& table) override;
  bool row(const std::vector<Cell>& cells) override;
  bool flush() override;
  bool finish() override { return flush(); }

  // The bytes held and not yet written.
  const std::string& held() const { return out_; }

 private:
  void text(std::string& out, const Cell& cell) const;
  void delimited(const Cell& cell, char delimiter);
  void json(const Cell& cell);

  Format format_;
  Encoding encoding_;
  Header header_;
  std::function<bool(std::string_view)> write_;
  const Table* table_ = nullptr;
  bool started_ = false;
  std::string out_;
};

}  // namespace tidy
