// kessan-tidy's block reader and row writer.
//
// 1. The input as the sweep's output, in every format and encoding, with and without keeping
//    going: no crash, no sanitizer report.
// 2. Blocks made from the input, with calendar dates and the numbers the sweep prints: the table
//    (CSV, cp932) printed back in the sweep's form gives the blocks back.
// 3. Those blocks with copies of their summary lines put in and rows taken out, converted while
//    keeping going: every row written is a row of the blocks' own table.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "items/items.h"
#include "tidy/block.h"
#include "tidy/lines.h"
#include "tidy/writer.h"

namespace {

using tidy::BlockReader;
using tidy::Encoding;
using tidy::Format;

// The table of text, cut into lines as the line splitter cuts them.
std::string convert(const std::string& text, Format format, Encoding encoding, bool keep_going) {
  BlockReader reader;
  std::string out;
  tidy::TextWriter writer(format, encoding, tidy::Header::None, [&](std::string_view bytes) {
    out += bytes;
    return true;
  });
  writer.begin(tidy::sweep_table());
  std::vector<tidy::Cell> cells;
  std::string fiscal;
  auto go_on = [&](BlockReader::Result result) {
    if (result == BlockReader::Result::Block) {
      for (int k = 0; k < reader.block().periods; ++k) {
        tidy::block_cells(reader.block(), k, fiscal, cells);
        writer.row(cells);
      }
    }
    return result != BlockReader::Result::Refused || keep_going;
  };
  tidy::Line line;
  for (size_t at = 0; at < text.size();) {
    const size_t lf = text.find('\n', at);
    line.has_line_end = lf != std::string::npos;
    const size_t end = line.has_line_end ? lf : text.size();
    line.text = std::string_view(text).substr(at, end - at);
    if (line.has_line_end && !line.text.empty() && line.text.back() == '\r')
      line.text.remove_suffix(1);
    ++line.number;
    at = end + 1;
    if (!go_on(reader.line(line))) {
      writer.finish();
      return out;
    }
  }
  go_on(reader.end(line.number));
  writer.finish();
  return out;
}

// Units the converters of both platforms hold: ASCII but LF, half-width katakana, and a few
// two-byte ones (trail bytes 5C and 7C included).
std::string name_from(FuzzedDataProvider& in) {
  static const char* const Pairs[] = {"\x82\xA0", "\x83\x41", "\x95\x5C", "\x83\x5C", "\x81\x5B",
                                      "\x81\xAC", "\x88\x9F", "\x8A\x7C", "\xE0\x40", "\x81\x40"};
  std::string name;
  const size_t units = in.ConsumeIntegralInRange<size_t>(0, 12);
  for (size_t i = 0; i < units; ++i) {
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    if (pick < 0x80) {
      if (pick != '\n' && pick != 0) name += static_cast<char>(pick);
    } else if (pick < 0x80 + 0x3F) {
      name += static_cast<char>(0xA1 + (pick - 0x80));
    } else {
      name += Pairs[pick % (sizeof Pairs / sizeof *Pairs)];
    }
  }
  // A name that begins with a quote is written as it is, and could not be told from one that
  // begins like a formula, which the table writes after a quote.
  if (!name.empty() && name[0] == '\'') name[0] = 'q';
  return name;
}

std::string whole(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return "0";
    case 1:
      return "-0";
    case 2:
      return std::to_string(in.ConsumeIntegral<int64_t>());
    default:
      return std::to_string(in.ConsumeIntegral<uint64_t>() | 1) + "000000000000000";
  }
}

std::string field_from(FuzzedDataProvider& in, int item) {
  const int year = in.ConsumeIntegralInRange(1, 9999), month = in.ConsumeIntegralInRange(1, 12);
  static const int Days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  const int last = month == 2 && !leap ? 28 : Days[month - 1];
  switch (item) {
    case 1:
      return std::to_string(year) + "/" + std::to_string(month);
    case 2:
      return std::to_string(year) + "/" + std::to_string(month) + "/" +
             std::to_string(in.ConsumeIntegralInRange(1, last));
    case 3:
      return std::to_string(in.ConsumeIntegral<int32_t>());
    case 11:
      return "0";
  }
  if (report_item(item).form != ItemForm::TwoDecimals) return whole(in);
  const int cents = in.ConsumeIntegralInRange(0, 99);
  std::string text = whole(in) + (cents < 10 ? ".0" : ".") + std::to_string(cents);
  return text;
}

// The sweep's lines of one company: its summary line first.
std::vector<std::string> block_from(FuzzedDataProvider& in) {
  const int periods = in.ConsumeIntegralInRange(1, 3);
  std::vector<std::string> lines = {std::to_string(in.ConsumeIntegralInRange(1300, 9999)) + "," +
                                    name_from(in) + "," + std::to_string(periods)};
  for (int item = 1; item <= ItemCount; ++item) {
    std::string line = report_item(item).label;
    for (int k = 0; k < periods; ++k) line += "," + field_from(in, item);
    lines.push_back(line);
  }
  return lines;
}

// The fields of a CSV record starting at at, which is moved past it.
std::vector<std::string> csv_record(const std::string& text, size_t& at) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (quoted) {
      if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
        fields.back() += '"';
        ++at;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n') {
      ++at;
      break;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// 2024-03 as 2024/3, 2025-02-10 as 2025/2/10; empty, which only the sweep's placeholder for a
// page without the date gives here, as that placeholder.
std::string sweep_date(const std::string& iso, bool with_day) {
  if (iso.empty()) return with_day ? "1900/1/1" : "1900/1";
  std::string out;
  size_t at = 0;
  while (at < iso.size()) {
    size_t end = std::min(iso.find('-', at), iso.size());
    if (!out.empty()) out += '/';
    out += std::to_string(std::stoi(iso.substr(at, end - at)));
    at = end + 1;
  }
  return out;
}

// The table's rows printed back in the sweep's form.
std::string sweep_form(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  for (size_t at = 0; at < table.size();) rows.push_back(csv_record(table, at));
  std::string out;
  for (size_t first = 0; first < rows.size();) {
    size_t periods = 1;
    while (first + periods < rows.size() && rows[first + periods][2] == std::to_string(periods + 1))
      ++periods;
    std::string name = rows[first][1];
    if (name.size() > 2 && name[0] == '\'' && strchr("=+-@\t\r", name[1]) != nullptr) {
      name.erase(0, 1);
    }
    out += rows[first][0] + "," + name + "," + std::to_string(periods) + "\n";
    for (int item = 1; item <= ItemCount; ++item) {
      out += report_item(item).label;
      for (size_t k = 0; k < periods; ++k) {
        const std::string& field = rows[first + k][2 + item];
        out += "," + (item <= 2 ? sweep_date(field, item == 2) : field);
      }
      out += "\n";
    }
    first += periods;
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const uint8_t way = size > 0 ? data[0] : 0;
  convert(raw, static_cast<Format>(way % 3), static_cast<Encoding>(way / 3 % 3), way & 0x80);

  FuzzedDataProvider in(data, size);
  std::vector<std::string> lines;
  std::vector<bool> summary;
  const int companies = in.ConsumeIntegralInRange(1, 4);
  for (int i = 0; i < companies; ++i) {
    for (const std::string& line : block_from(in)) {
      summary.push_back(false);
      lines.push_back(line);
    }
    summary[summary.size() - 1 - ItemCount] = true;
  }
  const std::string clean = joined(lines);
  const std::string table = convert(clean, Format::Csv, Encoding::Cp932, false);
  FUZZ_CHECK(sweep_form(table) == clean);

  // Copies of summary lines put anywhere, and lines other than the blocks' own summary lines
  // taken out (without its summary line, a block's rows can pass for another's).
  std::vector<std::string> summaries;
  for (size_t i = 0; i < lines.size(); ++i)
    if (summary[i]) summaries.push_back(lines[i]);
  const int changes = in.ConsumeIntegralInRange(1, 24);
  for (int i = 0; i < changes && !lines.empty(); ++i) {
    const size_t at = in.ConsumeIntegralInRange<size_t>(0, lines.size() - 1);
    if (in.ConsumeBool()) {
      lines.insert(lines.begin() + at,
                   summaries[in.ConsumeIntegralInRange<size_t>(0, summaries.size() - 1)]);
      summary.insert(summary.begin() + at, false);
    } else if (!summary[at]) {
      lines.erase(lines.begin() + at);
      summary.erase(summary.begin() + at);
    }
  }
  std::set<std::string> clean_rows;
  for (size_t at = 0; at < table.size();) {
    const size_t end = table.find('\n', at);
    clean_rows.insert(table.substr(at, end - at));
    at = end + 1;
  }
  const std::string kept = convert(joined(lines), Format::Csv, Encoding::Cp932, true);
  for (size_t at = 0; at < kept.size();) {
    const size_t end = kept.find('\n', at);
    FUZZ_CHECK(clean_rows.count(kept.substr(at, end - at)) == 1);
    at = end + 1;
  }
  return 0;
}
