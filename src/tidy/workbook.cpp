#include "tidy/workbook.h"

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/files.h"
#include "platform/text_encoding.h"
#include "tidy/zip_parts.h"
#include "version.h"

namespace tidy {

namespace {

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

// A decimal number's digits without leading or trailing zeros and the power of ten of its last
// digit, with its sign: "-0120.50" and "-1.205E+2" are both "-1205e-1"; zero is "0".
std::string canonical(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative || (!text.empty() && text[0] == '+')) text.remove_prefix(1);
  std::string digits;
  long long power = 0;
  bool point = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      point = true;
    } else if (c == 'e' || c == 'E') {
      power += strtoll(std::string(text.substr(i + 1)).c_str(), nullptr, 10);
      break;
    } else {
      if (!(digits.empty() && c == '0')) digits += c;
      if (point) --power;
    }
  }
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++power;
  }
  if (digits.empty()) return "0";
  return (negative ? "-" : "") + digits + "e" + std::to_string(power);
}

// Whether a reader of the workbook gets the number the printed text is. The library writes a
// number with 16 significant digits (%.16G), which the reader takes to the nearest double: that
// must be value, the double nearest the printed text, and value must be the printed number or
// be written in the fewest digits that give it back as the printed text.
bool stored_exactly(const std::string& printed, double value) {
  if (!std::isfinite(value)) return false;
  // Up to 15 significant digits always come back.
  const size_t first = printed.find_first_of("123456789");
  if (first == std::string::npos) return true;
  const size_t last = printed.find_last_of("123456789");
  const size_t point = printed.find('.');
  if (last - first + 1 - (point > first && point < last) <= 15) return true;
  char text[64];
  snprintf(text, sizeof text, "%.16G", value);
  if (strtod(text, nullptr) != value) return false;
  const std::string wanted = canonical(printed);
  std::to_chars_result end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  if (canonical(std::string_view(text, end.ptr - text)) == wanted) return true;
  // Past 15 significant digits with at most two decimals, a double is at least 2^43, and 12
  // decimals write it exactly.
  end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 12);
  return end.ec == std::errc() && canonical(std::string_view(text, end.ptr - text)) == wanted;
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

// Checks XML text given in pieces: UTF-8 of characters XML allows (no controls but tab, LF and
// CR, no U+FFFE or U+FFFF), so that a reader does not stop at a row.
class XmlText {
 public:
  void add(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size && good_; ++i) {
      const unsigned char c = bytes[i];
      if (left_ > 0) {
        good_ = (c & 0xC0) == 0x80;
        point_ = point_ << 6 | (c & 0x3F);
        if (--left_ == 0) good_ = point_ >= least_ && allowed(point_);
        continue;
      }
      if (c < 0x80) {
        good_ = allowed(c);
      } else if (c >= 0xC2 && c <= 0xF4) {
        left_ = c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        static const char32_t Least[] = {0, 0x80, 0x800, 0x10000};
        least_ = Least[left_];
        point_ = c & (0x3F >> left_);
      } else {
        good_ = false;
      }
    }
  }
  bool whole() const { return good_ && left_ == 0; }

 private:
  static bool allowed(char32_t c) {
    return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') && (c < 0xD800 || c > 0xDFFF) &&
           c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
  }
  bool good_ = true;
  int left_ = 0;  // continuation bytes still to come
  char32_t point_ = 0, least_ = 0;
};

// Reads one worksheet back from the finished file, at the entry of the zip's central directory:
// inflated, it must have the recorded size and CRC, be text XML allows and end the XML.
// libxlsxwriter does not report a failed write to its own temporary files, which leaves the
// worksheet cut short. "" when whole.
std::string check_worksheet(FILE* file, const std::string& part, const unsigned char* entry) {
  const char* const Sheet = part.c_str();
  static const char End[] = "</worksheet>";
  const uint32_t crc = little_endian(entry + 16, 4);
  uint32_t packed = little_endian(entry + 20, 4);
  const uint32_t size = little_endian(entry + 24, 4);
  if (!seek_to_data(file, entry)) return std::string("cannot find the data of ") + Sheet;
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return "cannot start zlib";
  unsigned char in[1 << 15], out[1 << 15];
  char tail[sizeof End - 1] = {};
  uLong sum = crc32(0, nullptr, 0);
  XmlText text;
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.avail_in == 0 && packed > 0) {
      stream.avail_in =
          static_cast<uInt>(fread(in, 1, std::min<uint32_t>(packed, sizeof in), file));
      if (stream.avail_in == 0) break;
      packed -= stream.avail_in;
      stream.next_in = in;
    }
    stream.next_out = out;
    stream.avail_out = sizeof out;
    status = inflate(&stream, Z_NO_FLUSH);
    const size_t got = sizeof out - stream.avail_out;
    sum = crc32(sum, out, static_cast<uInt>(got));
    text.add(out, got);
    // The last bytes written so far, for the end of the XML.
    const size_t kept = std::min(got, sizeof tail);
    memmove(tail, tail + kept, sizeof tail - kept);
    memcpy(tail + sizeof tail - kept, out + got - kept, kept);
  }
  const uLong inflated = stream.total_out;
  inflateEnd(&stream);
  if (status != Z_STREAM_END || packed != 0 || stream.avail_in != 0 || inflated != size ||
      sum != crc) {
    return std::string("its ") + Sheet + " does not inflate to the recorded size and CRC";
  }
  if (memcmp(tail, End, sizeof tail) != 0) return std::string("its ") + Sheet + " is cut short";
  if (!text.whole()) return std::string("its ") + Sheet + " holds text that is not XML";
  return "";
}

// Reads back sheets 1..sheets of the finished file at path; "" when every one is whole.
std::string check_worksheets(const std::string& path, size_t sheets) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(open_scratch_file(path), fclose);
  if (!file) return std::string("cannot read it back: ") + strerror(errno);
  ZipDirectory zip;
  std::string fault = read_directory(file.get(), zip);
  for (size_t sheet = 1; sheet <= sheets && fault.empty(); ++sheet) {
    const std::string part = "xl/worksheets/sheet" + std::to_string(sheet) + ".xml";
    auto entry = std::find_if(zip.entries.begin(), zip.entries.end(),
                              [&](size_t at) { return zip.name(at) == part; });
    fault = entry == zip.entries.end() ? "it has no " + part
                                       : check_worksheet(file.get(), part, &zip.bytes[*entry]);
  }
  return fault;
}

}  // namespace

Workbook::Workbook(const std::string& path, Header header, Scale scale, long long max_rows)
    : path_(path), header_(header), scale_(scale), max_rows_(max_rows) {
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
}

Workbook::~Workbook() {
  if (book_ != nullptr) lxw_workbook_free(book_);
}

lxw_format* Workbook::format(const std::string& number_format) {
  if (number_format.empty()) return nullptr;
  lxw_format*& format = formats_[number_format];
  if (format == nullptr) {
    format = workbook_add_format(book_);
    format_set_num_format(format, number_format.c_str());
  }
  return format;
}

bool Workbook::begin(const Table& table) {
  if (book_ == nullptr) return false;
  const size_t columns = table.columns.size();
  std::string name = header_ == Header::En ? table.sheet_en : table.sheet;
  if (workbook_validate_sheet_name(book_, name.c_str()) != LXW_NO_ERROR) name = table.sheet_en;
  Sheet sheet{workbook_add_worksheet(book_, name.c_str()),
              &table,
              std::vector<lxw_format*>(columns),
              std::vector<size_t>(columns),
              0,
              "",
              table.sparkline_column};
  if (sheet.sheet == nullptr) return failed(LXW_ERROR_MEMORY_MALLOC_FAILED, "add a sheet to");
  sheet.name = sheet.sheet->name;
  for (size_t column = 0; column < columns; ++column) {
    sheet.formats[column] = format(number_format(table.columns[column], scale_));
  }
  // A4 landscape, one page wide, the header row on every page.
  worksheet_set_landscape(sheet.sheet);
  worksheet_set_paper(sheet.sheet, 9);
  worksheet_fit_to_pages(sheet.sheet, 1, 0);
  if (header_ != Header::None) {
    if (bold_ == nullptr) {
      bold_ = workbook_add_format(book_);
      format_set_bold(bold_);
    }
    for (size_t column = 0; column < columns; ++column) {
      const std::string text = heading(table.columns[column], header_, scale_);
      worksheet_write_string(sheet.sheet, 0, static_cast<lxw_col_t>(column), text.c_str(), bold_);
      sheet.widths[column] = text_width(text) + 2;  // and the filter's button
    }
    worksheet_repeat_rows(sheet.sheet, 0, 0);
    sheet.rows = 1;
  }
  // The rows' company stays in view: the header above, the frozen columns at the left.
  worksheet_freeze_panes(sheet.sheet, static_cast<lxw_row_t>(sheet.rows),
                         static_cast<lxw_col_t>(table.frozen_columns));
  if (!sheets_.empty()) end(sheets_.back());
  sheets_.push_back(std::move(sheet));
  return true;
}

bool Workbook::failed(int code, const char* what) {
  error_ = std::string("cannot ") + what +
           " the workbook: " + lxw_strerror(static_cast<lxw_error>(code));
  return false;
}

void Workbook::cell(Sheet& sheet, size_t column, const Cell& cell) {
  int code = LXW_NO_ERROR;
  const auto col = static_cast<lxw_col_t>(column);
  const auto row = static_cast<lxw_row_t>(sheet.rows);
  lxw_format* format = sheet.formats[column];
  if (cell.marked) {
    // Italic on a pale shade, which also shows printed in black and white.
    const std::string shown = number_format(sheet.table->columns[column], scale_);
    lxw_format*& italic = marked_[shown];
    if (italic == nullptr) {
      italic = workbook_add_format(book_);
      format_set_italic(italic);
      format_set_bg_color(italic, 0xEDEDED);
      if (!shown.empty()) format_set_num_format(italic, shown.c_str());
    }
    format = italic;
  }
  size_t width = 0;
  if (cell.type == Cell::Type::Empty || cell.text.empty()) return;
  if (cell.type == Cell::Type::Sjis || cell.type == Cell::Type::Utf8) {
    std::string text;
    if (cell.type == Cell::Type::Sjis) {
      append_sjis_as_utf8(text, cell.text);
    } else {
      append_valid_utf8(text, cell.text, true);
    }
    code = worksheet_write_string(sheet.sheet, row, col, text.c_str(), nullptr);
    width = text_width(text);
  } else if (cell.type == Cell::Type::Month || cell.type == Cell::Type::Day) {
    const bool with_day = cell.type == Cell::Type::Day;
    std::string date;
    if (!append_date(date, cell.text, with_day)) return;  // empty, as in the table
    lxw_datetime when = {
        atoi(date.c_str()), atoi(date.c_str() + 5), with_day ? atoi(date.c_str() + 8) : 1, 0, 0, 0};
    if (when.year < 1900) {
      // Before the first date that Excel has: as the table's text.
      code = worksheet_write_string(sheet.sheet, row, col, date.c_str(), nullptr);
    } else {
      code = worksheet_write_datetime(sheet.sheet, row, col, &when, format);
    }
    width = date.size();
  } else {
    const std::string number(cell.text);
    const double value = strtod(number.c_str(), nullptr);
    if (stored_exactly(number, value)) {
      code = worksheet_write_number(sheet.sheet, row, col, value, format);
    } else {
      // A figure the workbook would store as another number: as text, in yen where the
      // heading says thousands or millions.
      const bool yen = sheet.table->columns[column].unit == Unit::Yen && scale_ != Scale::Yen;
      code = worksheet_write_string(sheet.sheet, row, col, (number + (yen ? "円" : "")).c_str(),
                                    nullptr);
    }
    width = format != nullptr ? separated_width(cell.text) : cell.text.size();
  }
  sheet.widths[column] = std::max(sheet.widths[column], width);
  if (code != LXW_NO_ERROR && write_error_ == LXW_NO_ERROR) write_error_ = code;
}

bool Workbook::row(const std::vector<Cell>& cells) {
  if (book_ == nullptr || sheets_.empty()) return false;
  Sheet& sheet = sheets_.back();
  if (sheet.rows >= max_rows_) {
    error_ = "the table has more rows than a worksheet holds (" + std::to_string(max_rows_) +
             (header_ != Header::None ? ", the header included)" : ")");
    return false;
  }
  for (size_t column = 0; column < cells.size(); ++column) cell(sheet, column, cells[column]);
  ++sheet.rows;
  return write_error_ == LXW_NO_ERROR || failed(write_error_, "write");
}

// Sets the sheet's column widths and its filter, once its rows are written.
void Workbook::end(Sheet& sheet) {
  const size_t columns = sheet.widths.size();
  for (size_t column = 0; column < columns; ++column) {
    const double width = static_cast<double>(std::min<size_t>(sheet.widths[column] + 1, 255));
    worksheet_set_column(sheet.sheet, static_cast<lxw_col_t>(column),
                         static_cast<lxw_col_t>(column), width, nullptr);
  }
  if (header_ != Header::None) {
    worksheet_autofilter(sheet.sheet, 0, 0, static_cast<lxw_row_t>(sheet.rows - 1),
                         static_cast<lxw_col_t>(columns - 1));
  }
}

bool Workbook::close() {
  if (book_ == nullptr) return false;
  if (!sheets_.empty()) end(sheets_.back());
  const int code = workbook_close(book_);
  book_ = nullptr;
  if (code != LXW_NO_ERROR) return failed(code, "write");
  const std::string fault = check_worksheets(path_, sheets_.size());
  if (fault.empty()) return true;
  const bool text = fault.find("not XML") != std::string::npos;
  error_ = "the workbook written is damaged (" + fault + "): " +
           (text ? "not written; please report this fault of kessan-tidy"
                 : "the folder for temporary files may be full, or a file size limit reached");
  return false;
}

namespace {

// A column's letters: 0 is A, 26 is AA.
std::string column_letters(size_t column) {
  std::string letters;
  for (++column; column > 0; column = (column - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
  }
  return letters;
}

// The sheet's sparklines as a worksheet extension: one group, a line per row from its first to
// its last data row, drawn from the columns after the sparkline's to the last, gaps left empty.
std::string sparklines(const std::string& sheet, long long first_row, long long rows, size_t column,
                       size_t columns) {
  std::string quoted = "'";
  for (char c : sheet) {
    quoted += c == '\''  ? std::string("''")
              : c == '&' ? std::string("&amp;")
              : c == '<' ? std::string("&lt;")
              : c == '>' ? std::string("&gt;")
                         : std::string(1, c);
  }
  quoted += "'!";
  std::string xml =
      "<ext xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\" "
      "uri=\"{05C60535-1F16-4fd2-B633-F4F36F0B64E0}\"><x14:sparklineGroups "
      "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><x14:sparklineGroup "
      "displayEmptyCellsAs=\"gap\" markers=\"1\" negative=\"1\"><x14:colorSeries "
      "rgb=\"FF376092\"/><x14:colorNegative rgb=\"FFD00000\"/><x14:colorAxis "
      "rgb=\"FF000000\"/><x14:colorMarkers rgb=\"FF376092\"/><x14:colorFirst "
      "rgb=\"FF376092\"/><x14:colorLast rgb=\"FF376092\"/><x14:colorHigh "
      "rgb=\"FF376092\"/><x14:colorLow rgb=\"FF376092\"/><x14:sparklines>";
  const std::string from = column_letters(column + 1), to = column_letters(columns - 1),
                    at = column_letters(column);
  for (long long row = first_row + 1; row <= rows; ++row) {
    const std::string number = std::to_string(row);
    xml += "<x14:sparkline><xm:f>" + quoted + from + number + ":" + to + number +
           "</xm:f><xm:sqref>" + at + number + "</xm:sqref></x14:sparkline>";
  }
  return xml + "</x14:sparklines></x14:sparklineGroup></x14:sparklineGroups></ext>";
}

}  // namespace

bool Workbook::copy(const std::function<bool(std::string_view bytes)>& write) {
  const long long first_row = header_ != Header::None ? 1 : 0;
  const std::string fault = copy_with_extensions(
      path_,
      [&](const std::string& part) {
        for (size_t index = 0; index < sheets_.size(); ++index) {
          const Sheet& sheet = sheets_[index];
          if (sheet.sparkline_column < 0 || sheet.rows == first_row ||
              part != "xl/worksheets/sheet" + std::to_string(index + 1) + ".xml") {
            continue;
          }
          const size_t column = static_cast<size_t>(sheet.sparkline_column);
          if (column + 1 >= sheet.widths.size()) continue;
          return sparklines(sheet.name, first_row, sheet.rows, column, sheet.widths.size());
        }
        return std::string();
      },
      write);
  if (fault.empty()) return true;
  error_ = fault == "write" ? "" : "cannot copy the workbook: " + fault;
  return false;
}

}  // namespace tidy
