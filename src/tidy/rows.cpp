#include "tidy/rows.h"

#include <array>
#include <cstdio>

#include "platform/text_encoding.h"

namespace tidy {

namespace {

const char* const ColumnNames[ColumnCount] = {"code",
                                              "name",
                                              "period",
                                              "period_end",
                                              "announced_on",
                                              "months",
                                              "net_sales",
                                              "operating_income",
                                              "ordinary_income",
                                              "net_income",
                                              "eps",
                                              "diluted_eps",
                                              "dividend_per_share",
                                              "dividend_class",
                                              "equity_per_share",
                                              "shares_issued",
                                              "total_assets",
                                              "shareholders_equity",
                                              "capital_stock",
                                              "interest_bearing_debt",
                                              "retained_earnings",
                                              "equity_ratio",
                                              "unrealized_gains",
                                              "roa",
                                              "roe",
                                              "ordinary_roa"};

// 証券コード, 会社名, 期 in Shift_JIS.
const char* const JapaneseNames[3] = {"\x8F\xD8\x8C\x94\x83\x52\x81\x5B\x83\x68",
                                      "\x89\xEF\x8E\xD0\x96\xBC", "\x8A\xFA"};

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

bool append_date(std::string& out, std::string_view printed, bool with_day) {
  const auto [year, month, day] = date_parts(printed);
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (with_day) {
    static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (day < 1 || day > Days[month - 1] + (month == 2 && leap)) return false;
  }
  char text[16];
  snprintf(text, sizeof text, with_day ? "%04lld-%02lld-%02lld" : "%04lld-%02lld", year, month,
           day);
  out += text;
  return true;
}

const char* column_name(int column) { return ColumnNames[column]; }

std::string column_heading(int column, Header header, Encoding encoding) {
  if (header == Header::En) return ColumnNames[column];
  std::string name;
  append_text(name, column < 3 ? JapaneseNames[column] : report_label(column - 2), encoding);
  return name;
}

void append_start(std::string& out, Format format, Encoding encoding, Header header) {
  if (encoding == Encoding::Utf8Bom) out += "\xEF\xBB\xBF";
  if (format == Format::Jsonl || header == Header::None) return;
  const char delimiter = format == Format::Csv ? ',' : '\t';
  for (int column = 0; column < ColumnCount; ++column) {
    if (column > 0) out += delimiter;
    append_delimited(out, column_heading(column, header, encoding), delimiter);
  }
  out += '\n';
}

void append_rows(std::string& out, const Block& block, Format format, Encoding encoding) {
  std::string name;
  append_text(name, block.name(), encoding);
  const char delimiter = format == Format::Tsv ? '\t' : ',';
  for (int k = 0; k < block.periods; ++k) {
    const char period = static_cast<char>('1' + k);
    if (format == Format::Jsonl) {
      out += "{\"code\":";
      out += block.code();
      out += ",\"name\":";
      append_json_string(out, name, encoding);
      out += ",\"period\":";
      out += period;
      for (int item = 1; item <= ItemCount; ++item) {
        out += ",\"";
        out += ColumnNames[item + 2];
        out += "\":";
        if (item <= 2) {
          std::string date;
          out += append_date(date, block.field(item, k), item == 2) ? '"' + date + '"' : "null";
        } else {
          out += block.field(item, k);
        }
      }
      out += "}\n";
      continue;
    }
    out += block.code();
    out += delimiter;
    append_delimited(out, name, delimiter);
    out += delimiter;
    out += period;
    for (int item = 1; item <= ItemCount; ++item) {
      out += delimiter;
      if (item <= 2) {
        append_date(out, block.field(item, k), item == 2);
      } else {
        out += block.field(item, k);
      }
    }
    out += '\n';
  }
}

}  // namespace tidy
