#pragma once

// Tables as the worksheets of a workbook file, through libxlsxwriter in constant-memory mode:
// figures as numbers, dates as dates, text as text.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tidy/table.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tidy {

class Workbook {
 public:
  // Starts a workbook to be written to the file path, whose sheets hold at most max_rows rows,
  // amounts of yen shown at scale; the creation time is SOURCE_DATE_EPOCH when that is set, else
  // now.
  Workbook(const std::string& path, Header header, Scale scale, long long max_rows);
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // Starts the next sheet, for table; false, with the reason in error(), when it cannot.
  bool begin(const Table& table);
  // Adds a row of the current sheet; false, with the reason in error(), when it does not fit.
  bool row(const std::vector<Cell>& cells);
  // Writes the file; false, with the reason in error(), when it cannot. Without it, the
  // destructor leaves no workbook in the file.
  bool close();
  // Copies the closed file through write, with the sheets' sparklines; false, with the reason in
  // error() (empty when the write failed and reported itself), when it cannot.
  bool copy(const std::function<bool(std::string_view bytes)>& write);
  const std::string& error() const { return error_; }

 private:
  struct Sheet {
    lxw_worksheet* sheet;
    const Table* table;
    std::vector<lxw_format*> formats;
    std::vector<size_t> widths;
    long long rows;        // the next row's index
    std::string name;      // as the workbook names it
    int sparkline_column;  // -1: none
  };
  bool failed(int code, const char* what);
  lxw_format* format(const std::string& number_format);
  void cell(Sheet& sheet, size_t column, const Cell& cell);
  void end(Sheet& sheet);

  std::string path_;
  Header header_;
  Scale scale_;
  long long max_rows_;
  lxw_workbook* book_ = nullptr;
  lxw_format* bold_ = nullptr;
  // One format object for each number format: the library looks a cell's format up per cell.
  std::map<std::string, lxw_format*> formats_;
  std::map<std::string, lxw_format*> marked_;  // a marked figure's, by number format
  std::vector<Sheet> sheets_;
  int write_error_ = 0;  // the first cell that could not be written
  std::string error_;
};

}  // namespace tidy
