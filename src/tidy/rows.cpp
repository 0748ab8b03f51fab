#include "tidy/rows.h"

#include <array>
#include <cstdio>
#include <map>

#include "platform/text_encoding.h"

namespace tidy {

namespace {

// The columns before the items: code, name and period, or a history's code, name, sweep and
// revised; the Japanese ones in Shift_JIS (証券コード, 会社名, 期, 出典, 修正数).
const char* const Leading[2][4] = {{"code", "name", "period"},
                                   {"code", "name", "sweep", "revised"}};
const char* const LeadingLabels[2][4] = {
    {"\x8F\xD8\x8C\x94\x83\x52\x81\x5B\x83\x68", "\x89\xEF\x8E\xD0\x96\xBC", "\x8A\xFA"},
    {"\x8F\xD8\x8C\x94\x83\x52\x81\x5B\x83\x68", "\x89\xEF\x8E\xD0\x96\xBC", "\x8F\x6F\x93\x54",
     "\x8F\x43\x90\xB3\x90\x94"}};

// Column's Shift_JIS heading for --header ja.
const char* column_label(int column, bool history) {
  const int leading = column_count(history) - ItemCount;
  return column < leading ? LeadingLabels[history][column]
                          : report_item(column - leading + 1).label;
}

void append_text(std::string& out, std::string_view sjis, Encoding encoding) {
  if (encoding == Encoding::Cp932) {
    append_sjis_checked(out, sjis);
  } else {
    append_sjis_as_utf8(out, sjis);
  }
}

// A CSV or TSV field, quoted when it holds the delimiter, a quote, CR or LF.
void append_delimited(std::string& out, std::string_view text, char delimiter) {
  if (text.find_first_of(delimiter == ',' ? ",\"\r\n" : "\t\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// A JSON string. In Shift_JIS output a trail byte can be 5C, which is not a backslash there.
void append_json_string(std::string& out, std::string_view text, Encoding encoding) {
  out += '"';
  while (!text.empty()) {
    size_t length = encoding == Encoding::Cp932 ? sjis_unit_length(text) : 1;
    auto c = static_cast<unsigned char>(text[0]);
    if (length == 1 && (c == '"' || c == '\\')) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (length == 1 && c < 0x20) {
      static const char Hex[] = "0123456789abcdef";
      out += "\\u00";
      out += Hex[c >> 4];
      out += Hex[c & 15];
    } else {
      out += text.substr(0, length);
    }
    text.remove_prefix(length);
  }
  out += '"';
}

// The numbers of a printed year/month or year/month/day, which the block grammar has checked.
std::array<long long, 3> date_parts(std::string_view printed) {
  std::array<long long, 3> parts{};
  for (long long& part : parts) {
    const bool negative = !printed.empty() && printed[0] == '-';
    if (negative) printed.remove_prefix(1);
    while (!printed.empty() && printed[0] != '/') {
      part = part * 10 + (printed[0] - '0');
      printed.remove_prefix(1);
    }
    if (negative) part = -part;
    if (printed.empty()) break;
    printed.remove_prefix(1);
  }
  return parts;
}

}  // namespace

long long calendar_value(std::string_view printed, bool with_day) {
  const auto [year, month, day] = date_parts(printed);
  if (year < 1 || year > 9999 || month < 1 || month > 12) return -1;
  if (!with_day) return year * 100 + month;
  static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  if (day < 1 || day > Days[month - 1] + (month == 2 && leap)) return -1;
  return (year * 100 + month) * 100 + day;
}

bool append_date(std::string& out, std::string_view printed, bool with_day) {
  long long value = calendar_value(printed, with_day);
  if (value < 0) return false;
  char text[32];
  if (with_day) {
    snprintf(text, sizeof text, "%04lld-%02lld-%02lld", value / 10000, value / 100 % 100,
             value % 100);
  } else {
    snprintf(text, sizeof text, "%04lld-%02lld", value / 100, value % 100);
  }
  out += text;
  return true;
}

namespace {

bool is_date(ItemForm form) { return form == ItemForm::YearMonth || form == ItemForm::Date; }

// UTF-8 text (a file name) in Shift_JIS: each character the platform's converter gives for a
// Shift_JIS unit, "?" for any other.
void append_utf8_as_sjis(std::string& out, std::string_view text) {
  static const std::map<std::string, std::string> units = [] {
    std::map<std::string, std::string> all;
    auto add = [&](std::string unit) {
      std::string utf8;
      if (platform_unit_to_utf8(unit, utf8)) all.emplace(utf8, unit);
    };
    for (int c = 0xA1; c <= 0xDF; ++c) add(std::string(1, static_cast<char>(c)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead == 0xA0) lead = 0xE0;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail != 0x7F) add({static_cast<char>(lead), static_cast<char>(trail)});
      }
    }
    return all;
  }();
  while (!text.empty()) {
    size_t length = 1;
    while (length < text.size() && length < 4 && (text[length] & 0xC0) == 0x80) ++length;
    if (static_cast<unsigned char>(text[0]) < 0x80) {
      out += text[0];
    } else {
      auto unit = units.find(std::string(text.substr(0, length)));
      out += unit == units.end() ? "?" : unit->second;
    }
    text.remove_prefix(length);
  }
}

// A column between name and period_end: text is a string, otherwise a number or empty (null).
struct Middle {
  const char* key;
  std::string_view value;
  bool text;
};

// One row: code, name (in the table's encoding), the middle columns, then items 1..23.
template <size_t N>
void append_row(std::string& out, std::string_view code, const std::string& name,
                const Middle (&middle)[N], const Fields& fields, Format format, Encoding encoding) {
  if (format == Format::Jsonl) {
    out += "{\"code\":";
    out += code;
    out += ",\"name\":";
    append_json_string(out, name, encoding);
    for (const Middle& column : middle) {
      out += ",\"";
      out += column.key;
      out += "\":";
      if (column.text) {
        append_json_string(out, column.value, encoding);
      } else {
        out += column.value.empty() ? "null" : column.value;
      }
    }
    for (int item = 1; item <= ItemCount; ++item) {
      out += ",\"";
      const ReportItem& entry = report_item(item);
      out += entry.column;
      out += "\":";
      if (is_date(entry.form)) {
        std::string date;
        out += append_date(date, fields[item - 1], entry.form == ItemForm::Date) ? '"' + date + '"'
                                                                                 : "null";
      } else {
        out += fields[item - 1];
      }
    }
    out += "}\n";
    return;
  }
  const char delimiter = format == Format::Tsv ? '\t' : ',';
  out += code;
  out += delimiter;
  append_delimited(out, name, delimiter);
  for (const Middle& column : middle) {
    out += delimiter;
    append_delimited(out, column.value, delimiter);
  }
  for (int item = 1; item <= ItemCount; ++item) {
    out += delimiter;
    const ItemForm form = report_item(item).form;
    if (is_date(form)) {
      append_date(out, fields[item - 1], form == ItemForm::Date);
    } else {
      out += fields[item - 1];
    }
  }
  out += '\n';
}

}  // namespace

int column_count(bool history) { return ColumnCount + history; }

const char* column_name(int column, bool history) {
  const int leading = column_count(history) - ItemCount;
  return column < leading ? Leading[history][column] : report_item(column - leading + 1).column;
}

std::string column_heading(int column, Header header, bool history) {
  if (header == Header::En) return column_name(column, history);
  std::string name;
  append_sjis_as_utf8(name, column_label(column, history));
  return name;
}

void append_start(std::string& out, Format format, Encoding encoding, Header header, bool history) {
  if (encoding == Encoding::Utf8Bom) out += "\xEF\xBB\xBF";
  if (format == Format::Jsonl || header == Header::None) return;
  const char delimiter = format == Format::Csv ? ',' : '\t';
  for (int column = 0; column < column_count(history); ++column) {
    if (column > 0) out += delimiter;
    if (header == Header::En) {
      out += column_name(column, history);
    } else {
      std::string name;
      append_text(name, column_label(column, history), encoding);
      append_delimited(out, name, delimiter);
    }
  }
  out += '\n';
}

void append_rows(std::string& out, const Block& block, Format format, Encoding encoding) {
  std::string name;
  append_text(name, block.name(), encoding);
  for (int k = 0; k < block.periods; ++k) {
    const char period[] = {static_cast<char>('1' + k), '\0'};
    const Middle middle[] = {{"period", period, false}};
    Fields fields;
    for (int item = 1; item <= ItemCount; ++item) fields[item - 1] = block.field(item, k);
    append_row(out, block.code(), name, middle, fields, format, encoding);
  }
}

void append_history_row(std::string& out, std::string_view code, std::string_view name,
                        std::string_view sweep, std::string_view revised, const Fields& fields,
                        Format format, Encoding encoding) {
  std::string shown_name, shown_sweep;
  append_text(shown_name, name, encoding);
  if (encoding == Encoding::Cp932) {
    append_utf8_as_sjis(shown_sweep, sweep);
  } else {
    shown_sweep = sweep;
  }
  const Middle middle[] = {{"sweep", shown_sweep, true}, {"revised", revised, false}};
  append_row(out, code, shown_name, middle, fields, format, encoding);
}

}  // namespace tidy
