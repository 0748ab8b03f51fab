#include "tidy/table.h"

#include <cstdio>

#include "platform/text_encoding.h"

namespace tidy {

namespace {

Kind item_kind(ItemForm form) {
  return form == ItemForm::YearMonth ? Kind::Month
         : form == ItemForm::Date    ? Kind::Day
                                     : Kind::Number;
}

// The leading columns, then one per item with its report label.
Table with_items(std::vector<Column> columns) {
  for (int item = 1; item <= ItemCount; ++item) {
    const ReportItem& entry = report_item(item);
    std::string label;
    append_sjis_as_utf8(label, entry.label);
    columns.push_back({entry.column, label, item_kind(entry.form), entry.number_format});
  }
  Table table;
  table.columns = std::move(columns);
  return table;
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

const Table& sweep_table() {
  static const Table table = with_items({{"code", "証券コード", Kind::Number, nullptr},
                                         {"name", "会社名", Kind::Text, nullptr},
                                         {"period", "期", Kind::Number, nullptr}});
  return table;
}

const Table& history_table() {
  static const Table table = [] {
    Table history = with_items({{"code", "証券コード", Kind::Number, nullptr},
                                {"name", "会社名", Kind::Text, nullptr},
                                {"sweep", "出典", Kind::Text, nullptr},
                                {"revised", "修正数", Kind::Number, nullptr}});
    history.sheet = "history";
    history.sheet_label = "履歴";
    return history;
  }();
  return table;
}

const Table& changes_table() {
  static const Table table = [] {
    const char* const month = report_item(1).number_format;
    Table changes;
    changes.columns = {{"change", "変更", Kind::Text, nullptr},
                       {"code", "証券コード", Kind::Number, nullptr},
                       {"name", "会社名", Kind::Text, nullptr},
                       {"period_end", history_table().columns[4].label, Kind::Month, month},
                       {"figure", "項目", Kind::Text, nullptr},
                       {"before", "変更前", Kind::Text, nullptr},
                       {"before_sweep", "変更前の出典", Kind::Text, nullptr},
                       {"after", "変更後", Kind::Text, nullptr},
                       {"after_sweep", "変更後の出典", Kind::Text, nullptr}};
    changes.sheet = "changes";
    changes.sheet_label = "変更";
    changes.frozen_columns = 3;
    return changes;
  }();
  return table;
}

Table trend_table(const Column& figure, int first, int last) {
  Table trend;
  trend.columns = {{"code", "証券コード", Kind::Number, nullptr},
                   {"name", "会社名", Kind::Text, nullptr},
                   // The heading says what the sheet shows and how a marked year differs.
                   {figure.name + " (italic: not a 12-month period)",
                    figure.label + "の推移（斜体は12か月以外の期）", Kind::Text, nullptr}};
  for (int year = first; year <= last; ++year) {
    trend.columns.push_back(
        {std::to_string(year), std::to_string(year) + "年", Kind::Number, figure.number_format});
  }
  trend.sheet = figure.name;
  trend.sheet_label = figure.label;
  trend.frozen_columns = 3;
  trend.sparkline_column = 2;
  return trend;
}

void item_cells(const Fields& fields, Cell* cells) {
  for (int item = 1; item <= ItemCount; ++item) {
    const ItemForm form = report_item(item).form;
    const Cell::Type type = form == ItemForm::YearMonth ? Cell::Type::Month
                            : form == ItemForm::Date    ? Cell::Type::Day
                                                        : Cell::Type::Figure;
    cells[item - 1] = {type, fields[item - 1]};
  }
}

void block_cells(const Block& block, int period, std::vector<Cell>& cells) {
  static const char* const Periods[] = {"1", "2", "3"};
  cells.resize(sweep_table().columns.size());
  cells[0] = figure_cell(block.code());
  cells[1] = sjis_cell(block.name());
  cells[2] = figure_cell(Periods[period]);
  Fields fields;
  for (int item = 1; item <= ItemCount; ++item) fields[item - 1] = block.field(item, period);
  item_cells(fields, &cells[3]);
}

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

}  // namespace tidy
