#include "tidy/workbook.h"

#include <xlsxwriter.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "platform/text_encoding.h"
#include "version.h"

namespace tidy {

namespace {

constexpr int NameColumn = 1;

// Columns that Excel shows a full-width character in take about two of its width units.
size_t text_width(std::string_view utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      ++width;
    } else if (c >= 0xC0) {
      // U+FF61..U+FF9F, half-width katakana: EF BD A1..EF BE 9F.
      const bool half =
          c == 0xEF && i + 1 < utf8.size() && (utf8[i + 1] == '\xBD' || utf8[i + 1] == '\xBE');
      width += half ? 1 : 2;
    }
  }
  return width;
}

// The width of a number printed as text when shown with thousands separators.
size_t separated_width(std::string_view text) {
  const size_t point = text.find('.');
  const size_t digits =
      (point == std::string_view::npos ? text.size() : point) - (!text.empty() && text[0] == '-');
  return text.size() + (digits > 0 ? (digits - 1) / 3 : 0);
}

time_t creation_time() {
  const char* epoch = getenv("SOURCE_DATE_EPOCH");
  if (epoch != nullptr && *epoch != '\0') {
    char* end = nullptr;
    const long long seconds = strtoll(epoch, &end, 10);
    if (*end == '\0' && seconds > 0) return static_cast<time_t>(seconds);
  }
  return time(nullptr);
}

}  // namespace

Workbook::Workbook(const std::string& path, Header header, long long max_rows, bool history)
    : max_rows_(max_rows),
      items_(column_count(history) - ItemCount),
      header_(header != Header::None) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  book_ = workbook_new_opt(path.c_str(), &options);
  if (book_ == nullptr) {
    error_ = "cannot start a workbook";
    return;
  }
  static const std::string comments = std::string("kessan-tidy ") + KessanVersion;
  lxw_doc_properties properties = {};
  properties.title = const_cast<char*>("Financial results of listed Japanese companies");
  properties.comments = const_cast<char*>(comments.c_str());
  properties.created = creation_time();
  workbook_set_properties(book_, &properties);
  sheet_ = workbook_add_worksheet(book_, nullptr);
  for (int column = items_; column < items_ + ItemCount; ++column) {
    if (const char* format = report_item(column - items_ + 1).number_format) {
      formats_[column] = workbook_add_format(book_);
      format_set_num_format(formats_[column], format);
    }
  }
  if (!header_) return;
  lxw_format* bold = workbook_add_format(book_);
  format_set_bold(bold);
  for (int column = 0; column < items_ + ItemCount; ++column) {
    const std::string text = column_heading(column, header, items_ > 3);
    worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(column), text.c_str(), bold);
    fit(column, text_width(text) + 2);  // and the filter's button
  }
  worksheet_freeze_panes(sheet_, 1, 0);
  row_ = 1;
}

Workbook::~Workbook() {
  if (book_ != nullptr) lxw_workbook_free(book_);
}

bool Workbook::failed(int code, const char* what) {
  error_ = std::string("cannot ") + what +
           " the workbook: " + lxw_strerror(static_cast<lxw_error>(code));
  return false;
}

void Workbook::fit(int column, size_t width) {
  if (width > widths_[column]) widths_[column] = width;
}

void Workbook::cell(int column, std::string_view text) {
  int code = LXW_NO_ERROR;
  const auto col = static_cast<lxw_col_t>(column);
  const auto row = static_cast<lxw_row_t>(row_);
  if (text.empty()) return;                                   // a name or revised
  if (column == NameColumn || (items_ > 3 && column == 2)) {  // or a history's sweep
    const std::string name(text);
    code = worksheet_write_string(sheet_, row, col, name.c_str(), nullptr);
    fit(column, text_width(name));
  } else if (column == items_ || column == items_ + 1) {
    const bool with_day = column == items_ + 1;
    std::string date;
    if (!append_date(date, text, with_day)) return;  // empty, as in the table
    lxw_datetime when = {
        atoi(date.c_str()), atoi(date.c_str() + 5), with_day ? atoi(date.c_str() + 8) : 1, 0, 0, 0};
    if (when.year < 1900) {
      // Before the first date that Excel has: as the table's text.
      code = worksheet_write_string(sheet_, row, col, date.c_str(), nullptr);
    } else {
      code = worksheet_write_datetime(sheet_, row, col, &when, formats_[column]);
    }
    fit(column, date.size());
  } else {
    const std::string number(text);
    const double value = strtod(number.c_str(), nullptr);
    if (std::isfinite(value)) {
      code = worksheet_write_number(sheet_, row, col, value, formats_[column]);
    } else {
      // More digits than a double holds, which a workbook cannot store as a number: as text.
      code = worksheet_write_string(sheet_, row, col, number.c_str(), nullptr);
    }
    fit(column, formats_[column] != nullptr ? separated_width(text) : text.size());
  }
  if (code != LXW_NO_ERROR && write_error_ == LXW_NO_ERROR) write_error_ = code;
}

bool Workbook::fits(long long rows) {
  if (book_ == nullptr) return false;
  if (row_ + rows <= max_rows_) return true;
  error_ = "the table has more rows than a worksheet holds (" + std::to_string(max_rows_) +
           (header_ ? ", the header included)" : ")");
  return false;
}

bool Workbook::add(const Block& block) {
  if (!fits(block.periods)) return false;
  std::string name;
  append_sjis_as_utf8(name, block.name());
  for (int k = 0; k < block.periods; ++k, ++row_) {
    cell(0, block.code());
    cell(NameColumn, name);
    const char period[] = {static_cast<char>('1' + k), '\0'};
    cell(2, period);
    for (int item = 1; item <= ItemCount; ++item) cell(item + 2, block.field(item, k));
  }
  return write_error_ == LXW_NO_ERROR || failed(write_error_, "write");
}

bool Workbook::add(const History::Row& row) {
  if (!fits(1)) return false;
  std::string name;
  append_sjis_as_utf8(name, row.name);
  const std::string_view leading[] = {row.code, name, row.sweep, row.revised};
  for (int column = 0; column < 4; ++column) cell(column, leading[column]);
  for (int item = 1; item <= ItemCount; ++item) cell(item + 3, row.fields[item - 1]);
  ++row_;
  return write_error_ == LXW_NO_ERROR || failed(write_error_, "write");
}

bool Workbook::close() {
  if (book_ == nullptr) return false;
  for (int column = 0; column < items_ + ItemCount; ++column) {
    const double width = static_cast<double>(std::min<size_t>(widths_[column] + 1, 255));
    worksheet_set_column(sheet_, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                         width, nullptr);
  }
  if (header_) {
    worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(row_ - 1),
                         static_cast<lxw_col_t>(items_ + ItemCount - 1));
  }
  const int code = workbook_close(book_);
  book_ = nullptr;
  return code == LXW_NO_ERROR || failed(code, "write");
}

}  // namespace tidy
