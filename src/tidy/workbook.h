#pragma once

// The table as one worksheet of a workbook file, through libxlsxwriter in constant-memory mode:
// codes, periods and figures as numbers, the dates as dates, the names as text.

#include <array>
#include <string>

#include "tidy/block.h"
#include "tidy/history.h"
#include "tidy/rows.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tidy {

class Workbook {
 public:
  // Starts a workbook to be written to the file path, which holds at most max_rows rows, with a
  // history's columns or a sweep's; the creation time is SOURCE_DATE_EPOCH when that is set, else
  // now.
  Workbook(const std::string& path, Header header, long long max_rows, bool history = false);
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // Adds the block's rows; false, with the reason in error(), when they do not fit.
  bool add(const Block& block);
  // Adds a history's row.
  bool add(const History::Row& row);
  // Writes the file; false, with the reason in error(), when it cannot. Without it, the
  // destructor leaves no workbook in the file.
  bool close();
  const std::string& error() const { return error_; }

 private:
  bool failed(int code, const char* what);
  bool fits(long long rows);
  void cell(int column, std::string_view text);
  void fit(int column, size_t width);

  std::string path_;
  long long max_rows_;
  int items_;  // the first item's column
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::array<lxw_format*, ColumnCount + 1> formats_{};
  std::array<size_t, ColumnCount + 1> widths_{};
  long long row_ = 0;  // the next row's index
  bool header_ = false;
  int write_error_ = 0;  // the first cell that could not be written
  std::string error_;
};

}  // namespace tidy
