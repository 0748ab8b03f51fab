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
  return {std::move(columns)};
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
    Table items = with_items({{"code", "証券コード", Kind::Number, nullptr},
                              {"name", "会社名", Kind::Text, nullptr},
                              {"sweep", "出典", Kind::Text, nullptr},
                              {"revised", "修正数", Kind::Number, nullptr}});
    // After the items, so that a reader by position finds them where it did.
    const char* const per_share = report_item(8).number_format;
    items.columns.insert(
        items.columns.end(),
        {{"split_factor", "分割調整係数", Kind::Number, nullptr},
         {"eps_adjusted", "1株当り当期利益（分割調整後）", Kind::Number, per_share},
         {"diluted_eps_adjusted", "調整1株当り利益（分割調整後）", Kind::Number, per_share},
         {"dividend_per_share_adjusted", "1株当り配当（分割調整後）", Kind::Number, per_share},
         {"equity_per_share_adjusted", "1株当り株主資本（分割調整後）", Kind::Number, per_share}});
    return items;
  }();
  return table;
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
