#include "tidy/block.h"

#include "platform/text_encoding.h"

namespace tidy {

namespace {

// Items 1..23's labels, measured once.
std::string_view label_of_item(int item) {
  static const auto labels = [] {
    std::array<std::string_view, ItemCount + 1> all{};
    for (int i = 1; i <= ItemCount; ++i) all[i] = report_item(i).label;
    return all;
  }();
  return labels[item];
}

// Digits without a leading zero, as printf writes a whole number; the rest is left in text.
bool take_whole(std::string_view& text) {
  size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  if (n == 0 || (n > 1 && text[0] == '0')) return false;
  text.remove_prefix(n);
  return true;
}

bool take_integer(std::string_view& text) {
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);
  return take_whole(text);
}

// A number printed with %i (or %lli of an int plus offset): no "-0", within [low, high].
bool take_int(std::string_view& text, long long offset) {
  const std::string_view start = text;
  if (!take_integer(text)) return false;
  std::string_view digits = start.substr(0, start.size() - text.size());
  const bool negative = digits[0] == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.size() > 10 || (negative && digits == "0")) return false;
  long long value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  if (negative) value = -value;
  return value >= INT32_MIN + offset && value <= INT32_MAX + offset;
}

bool take(std::string_view& text, char c) {
  if (text.empty() || text[0] != c) return false;
  text.remove_prefix(1);
  return true;
}

// Years print as tm_year + 1900, months as tm_mon + 1, days and month counts as they are.
constexpr long long YearOffset = 1900, MonthOffset = 1;

bool has_form(std::string_view text, ItemForm form) {
  switch (form) {
    case ItemForm::YearMonth:
      return take_int(text, YearOffset) && take(text, '/') && take_int(text, MonthOffset) &&
             text.empty();
    case ItemForm::Date:
      return take_int(text, YearOffset) && take(text, '/') && take_int(text, MonthOffset) &&
             take(text, '/') && take_int(text, 0) && text.empty();
    case ItemForm::Int:
      return take_int(text, 0) && text.empty();
    case ItemForm::Whole:
      return take_integer(text) && text.empty();
    case ItemForm::Zero:
      return text == "0";
    case ItemForm::TwoDecimals:
      return take_integer(text) && take(text, '.') && text.size() == 2 && text[0] >= '0' &&
             text[0] <= '9' && text[1] >= '0' && text[1] <= '9';
  }
  return false;
}

const char* form_text(ItemForm form) {
  switch (form) {
    case ItemForm::YearMonth:
      return "a year/month like 2024/12";
    case ItemForm::Date:
      return "a year/month/day like 2025/2/10";
    case ItemForm::Int:
      return "a whole number of 32 bits (and not -0)";
    case ItemForm::Whole:
      return "a whole number";
    case ItemForm::Zero:
      return "0, the only value the sweep prints there";
    case ItemForm::TwoDecimals:
      return "a number with two decimals like -3.52";
  }
  return "";
}

// The text in quotes as UTF-8, its first 40 bytes or so; control bytes escaped, so that none
// reaches a terminal.
std::string quoted(std::string_view text) {
  size_t shown = 0;
  std::string out = "\"";
  while (shown < text.size() && shown < 40) {
    const size_t length = sjis_unit_length(text.substr(shown));
    const auto c = static_cast<unsigned char>(text[shown]);
    if (length == 1 && (c < 0x20 || c == 0x7F)) {
      static const char Hex[] = "0123456789ABCDEF";
      out += std::string("\\x") + Hex[c >> 4] + Hex[c & 15];
    } else {
      append_sjis_as_utf8(out, text.substr(shown, length));
    }
    shown += length;
  }
  return out + (shown < text.size() ? "...\"" : "\"");
}

std::string item_name(int item) {
  std::string out = "row " + std::to_string(item) + " (";
  append_sjis_as_utf8(out, report_item(item).label);
  return out + ")";
}

std::string_view label_of(std::string_view text) { return text.substr(0, text.find(',')); }

// The item whose row text is, or 0.
int row_of(std::string_view text) {
  for (int item = 1; item <= ItemCount; ++item) {
    if (label_of(text) == label_of_item(item)) return item;
  }
  return 0;
}

// What a line that is not the expected one is: a row, an empty line or its text.
std::string described(std::string_view text) {
  if (text.empty()) return "an empty line";
  const int item = row_of(text);
  return item != 0 ? item_name(item) : quoted(text);
}

// Code, name and count of a summary line "%i,%s,%i", whose name can hold commas; why, when
// given, says what is wrong with a line that is not one.
bool parse_summary(std::string_view text, Block* block, std::string* why) {
  size_t first = text.find(','), last = text.rfind(',');
  if (first == std::string_view::npos || first == last || row_of(text) != 0) {
    if (why) *why = "expected a summary line code,name,periods, found " + described(text);
    return false;
  }
  std::string_view code = text.substr(0, first), count = text.substr(last + 1);
  std::string_view rest = code;
  if (code.size() != 4 || !take_whole(rest) || !rest.empty() || code < "1300") {
    if (why) *why = "the code " + quoted(code) + " is not a four-digit code of 1300..9999";
    return false;
  }
  if (count.size() != 1 || count[0] < '1' || count[0] > '3') {
    if (why) *why = "the period count " + quoted(count) + " is not 1, 2 or 3";
    return false;
  }
  if (block != nullptr) {
    block->summary.assign(text);
    block->name_length = last - first - 1;
    block->periods = count[0] - '0';
  }
  return true;
}

}  // namespace

BlockReader::Result BlockReader::refuse(long long line, std::string message) {
  refused_line_ = line;
  message_ = std::move(message);
  labels_lost_ = false;
  state_ = State::Skipping;
  return Result::Refused;
}

bool BlockReader::start_block(std::string_view text, long long line, std::string* why) {
  if (!parse_summary(text, &block_, why)) return false;
  block_.line = line;
  block_.text.clear();
  state_ = State::Rows;
  next_item_ = 1;
  return true;
}

BlockReader::Result BlockReader::line(const Line& line) {
  const bool after_summary = after_summary_;
  after_summary_ = false;
  std::string why;
  if (line.too_long) {
    return refuse(line.number, "the line is longer than " + std::to_string(MaxLineLength) +
                                   " bytes: not the sweep's output");
  }
  if (!line.has_line_end) {
    std::string cut = state_ == State::Rows ? "the block of summary line " +
                                                  std::to_string(block_.line) + " is cut off"
                                            : "the last line is cut off";
    return refuse(line.number, "the line has no line end: " + cut + " (the sweep was stopped?)");
  }
  switch (state_) {
    case State::Skipping:
      // Rows after two summary lines in a row may belong to either: none starts a block.
      after_summary_ = parse_summary(line.text, nullptr, nullptr);
      if (after_summary_ && !after_summary) start_block(line.text, line.number, nullptr);
      return Result::More;
    case State::Summary:
      if (line.text.empty()) return Result::More;  // an editor's blank line between blocks
      if (!start_block(line.text, line.number, &why)) return refuse(line.number, why);
      after_summary_ = true;
      return Result::More;
    case State::Rows:
      return row(line.text, line.number);
  }
  return Result::More;
}

BlockReader::Result BlockReader::row(std::string_view text, long long line) {
  const int item = next_item_;
  const std::string_view label = label_of_item(item);
  if (label_of(text) == label) return fields(text.substr(label.size()), line);
  if (parse_summary(text, nullptr, nullptr)) {
    after_summary_ = true;
    if (item == 1) {
      return refuse(line, "summary line " + std::to_string(block_.line) +
                              " is followed by another summary line instead of its rows: was "
                              "standard error captured with standard output (2>&1)?");
    }
    refuse(line, "expected " + item_name(item) +
                     ", found a summary line: the block of summary line " +
                     std::to_string(block_.line) + " ends after " + item_name(item - 1));
    start_block(text, line, nullptr);
    return Result::Refused;
  }
  refuse(line, "expected " + item_name(item) + ", found " + described(text));
  const std::string_view found = label_of(text);
  labels_lost_ = !found.empty() && found.find_first_not_of('?') == std::string_view::npos;
  return Result::Refused;
}

BlockReader::Result BlockReader::fields(std::string_view rest, long long line) {
  const int item = next_item_;
  int fields = 0;
  for (char c : rest) fields += c == ',';
  if (fields != block_.periods) {
    return refuse(line, item_name(item) + " has " + std::to_string(fields) + " field" +
                            (fields == 1 ? "" : "s") + ", the summary line " +
                            std::to_string(block_.line) + " says " +
                            std::to_string(block_.periods));
  }
  const ItemForm form = report_item(item).form;
  for (int k = 0; k < fields; ++k) {
    rest.remove_prefix(1);  // the comma
    std::string_view field = rest.substr(0, rest.find(','));
    rest.remove_prefix(field.size());
    if (!has_form(field, form)) {
      return refuse(line, item_name(item) + ", period " + std::to_string(k + 1) + ": " +
                              quoted(field) + " is not " + form_text(form));
    }
    block_.fields[item - 1][k] = {block_.text.size(), field.size()};
    block_.text += field;
  }
  if (item < ItemCount) {
    ++next_item_;
    return Result::More;
  }
  state_ = State::Summary;
  return Result::Block;
}

BlockReader::Result BlockReader::end(long long last) {
  if (state_ != State::Rows) return Result::More;
  std::string after = next_item_ == 1 ? "its summary line" : item_name(next_item_ - 1);
  return refuse(last + 1, "the input ends inside the block of summary line " +
                              std::to_string(block_.line) + ", after " + after +
                              " (the sweep was stopped?)");
}

}  // namespace tidy
