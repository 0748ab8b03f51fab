#include "tidy/writer.h"

#include <map>

#include "platform/text_encoding.h"

namespace tidy {

namespace {

constexpr size_t FlushSize = 1 << 20;

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
  // Each byte of no character is then U+FFFD, one "?", and takes no character with it.
  std::string valid;
  append_valid_utf8(valid, text);
  text = valid;
  while (!text.empty()) {
    size_t length = 1;
    while (length < text.size() && (text[length] & 0xC0) == 0x80) ++length;
    if (static_cast<unsigned char>(text[0]) < 0x80) {
      out += text[0];
    } else {
      auto unit = units.find(std::string(text.substr(0, length)));
      out += unit == units.end() ? "?" : unit->second;
    }
    text.remove_prefix(length);
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

}  // namespace

void TextWriter::text(std::string& out, const Cell& cell) const {
  if (cell.type == Cell::Type::Sjis) {
    if (encoding_ == Encoding::Cp932) {
      append_sjis_checked(out, cell.text);
    } else {
      append_sjis_as_utf8(out, cell.text);
    }
  } else if (encoding_ == Encoding::Cp932) {
    append_utf8_as_sjis(out, cell.text);
  } else {
    append_valid_utf8(out, cell.text);
  }
}

bool TextWriter::begin(const Table& table) {
  table_ = &table;
  if (!started_ && encoding_ == Encoding::Utf8Bom) out_ += "\xEF\xBB\xBF";
  started_ = true;
  if (format_ == Format::Jsonl || header_ == Header::None) return true;
  const char delimiter = format_ == Format::Csv ? ',' : '\t';
  for (size_t column = 0; column < table.columns.size(); ++column) {
    if (table.columns[column].workbook_only) continue;
    if (column > 0) out_ += delimiter;
    if (header_ == Header::En) {
      out_ += table.columns[column].name;
    } else {
      delimited(utf8_cell(table.columns[column].label), delimiter);
    }
  }
  out_ += '\n';
  return true;
}

void TextWriter::delimited(const Cell& cell, char delimiter) {
  switch (cell.type) {
    case Cell::Type::Empty:
      break;
    case Cell::Type::Sjis:
    case Cell::Type::Utf8: {
      std::string shown;
      // A spreadsheet that imports the file would take such a text (a name from a web page) for
      // a formula: the quote makes it text.
      if (cell.text.size() > 1 &&
          std::string_view("=+-@\t\r").find(cell.text[0]) != std::string_view::npos) {
        shown = '\'';
      }
      text(shown, cell);
      append_delimited(out_, shown, delimiter);
      break;
    }
    case Cell::Type::Figure:
      out_ += cell.text;
      break;
    case Cell::Type::Month:
    case Cell::Type::Day:
      append_date(out_, cell.text, cell.type == Cell::Type::Day);
      break;
  }
}

void TextWriter::json(const Cell& cell) {
  switch (cell.type) {
    case Cell::Type::Empty:
      out_ += "null";
      break;
    case Cell::Type::Sjis:
    case Cell::Type::Utf8: {
      std::string shown;
      text(shown, cell);
      append_json_string(out_, shown, encoding_);
      break;
    }
    case Cell::Type::Figure:
      out_ += cell.text;
      break;
    case Cell::Type::Month:
    case Cell::Type::Day: {
      std::string date;
      out_ +=
          append_date(date, cell.text, cell.type == Cell::Type::Day) ? '"' + date + '"' : "null";
      break;
    }
  }
}

bool TextWriter::row(const std::vector<Cell>& cells) {
  const std::vector<Column>& columns = table_->columns;
  if (format_ == Format::Jsonl) {
    for (size_t column = 0; column < columns.size(); ++column) {
      if (columns[column].workbook_only) continue;
      out_ += column == 0 ? "{\"" : ",\"";
      out_ += columns[column].name;
      out_ += "\":";
      json(cells[column]);
    }
    out_ += "}\n";
  } else {
    const char delimiter = format_ == Format::Tsv ? '\t' : ',';
    for (size_t column = 0; column < columns.size(); ++column) {
      if (columns[column].workbook_only) continue;
      if (column > 0) out_ += delimiter;
      delimited(cells[column], delimiter);
    }
    out_ += '\n';
  }
  return out_.size() < FlushSize || flush();
}

bool TextWriter::flush() {
  const bool written = write_(out_);
  out_.clear();
  return written;
}

}  // namespace tidy
