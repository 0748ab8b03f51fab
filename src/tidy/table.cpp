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

// The leading columns, then one per item with its report label and the fiscal period's after
// period_end.
std::vector<Column> with_items(std::vector<Column> columns) {
  for (int item = 1; item <= ItemCount; ++item) {
    const ReportItem& entry = report_item(item);
    std::string label;
    append_sjis_as_utf8(label, entry.label);
    columns.push_back(
        {entry.column, label, item_kind(entry.form), entry.number_format, entry.unit, false});
    if (item == 1) {
      columns.push_back({"fiscal_period", "決算期", Kind::Text, nullptr, Unit::None, true});
    }
  }
  return columns;
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

std::string heading(const Column& column, Header header, Scale scale) {
  const bool yen = column.unit == Unit::Yen;
  if (header == Header::En) {
    if (!yen || scale == Scale::Yen) return column.name;
    return column.name + (scale == Scale::Thousand ? " (thousand yen)" : " (million yen)");
  }
  static const char* const Units[] = {"", "円", "円", "%", "株", "か月"};
  const char* unit = Units[static_cast<int>(column.unit)];
  if (yen && scale != Scale::Yen) unit = scale == Scale::Thousand ? "千円" : "百万円";
  return *unit == '\0' ? column.label : column.label + "（" + unit + "）";
}

std::string number_format(const Column& column, Scale scale) {
  std::string format = column.number_format != nullptr ? column.number_format : "";
  // Excel's "," after the last digit divides what is shown by a thousand.
  if (column.unit == Unit::Yen && scale != Scale::Yen) {
    format += scale == Scale::Thousand ? "," : ",,";
  }
  return format;
}

const Table& sweep_table() {
  static const Table table{with_items({{"code", "証券コード", Kind::Number, nullptr},
                                       {"name", "会社名", Kind::Text, nullptr},
                                       {"period", "期", Kind::Number, nullptr}}),
                           "決算", "results", 2};
  return table;
}

const Table& history_table() {
  static const Table table = [] {
    std::vector<Column> columns = with_items({{"code", "証券コード", Kind::Number, nullptr},
                                              {"name", "会社名", Kind::Text, nullptr},
                                              {"sweep", "出典", Kind::Text, nullptr},
                                              {"revised", "修正数", Kind::Number, nullptr}});
    // After the items, so that a reader by position finds them where it did.
    const ReportItem& eps = report_item(8);
    auto adjusted = [&](const char* name, const char* label) {
      return Column{name, label, Kind::Number, eps.number_format, eps.unit, false};
    };
    columns.insert(columns.end(),
                   {{"split_factor", "分割調整係数", Kind::Number, nullptr},
                    adjusted("eps_adjusted", "分割調整後1株当り当期利益"),
                    adjusted("diluted_eps_adjusted", "分割調整後調整1株当り利益"),
                    adjusted("dividend_per_share_adjusted", "分割調整後1株当り配当"),
                    adjusted("equity_per_share_adjusted", "分割調整後1株当り株主資本")});
    return Table{columns, "履歴", "history", 2};
  }();
  return table;
}

const Table& changes_table() {
  static const Table table = [] {
    const Column& end = history_table().columns[HistoryItems];
    Table changes{{{"change", "変更", Kind::Text, nullptr},
                   {"code", "証券コード", Kind::Number, nullptr},
                   {"name", "会社名", Kind::Text, nullptr},
                   end,
                   {"figure", "項目", Kind::Text, nullptr},
                   {"before", "変更前", Kind::Text, nullptr},
                   {"before_sweep", "変更前の出典", Kind::Text, nullptr},
                   {"after", "変更後", Kind::Text, nullptr},
                   {"after_sweep", "変更後の出典", Kind::Text, nullptr}},
                  "変更",
                  "changes",
                  3};
    return changes;
  }();
  return table;
}

Table trend_table(const Column& figure, int first, int last, Scale scale) {
  // The sparklines' heading names the figure, its unit and how a marked year differs.
  Table trend{{{"code", "証券コード", Kind::Number, nullptr},
               {"name", "会社名", Kind::Text, nullptr},
               {heading(figure, Header::En, scale) + ", italic: not a 12-month period",
                heading(figure, Header::Ja, scale) + "の推移（斜体は12か月以外の期）", Kind::Text,
                nullptr}},
              figure.label,
              figure.name,
              3,
              2};
  for (int year = first; year <= last; ++year) {
    trend.columns.push_back({std::to_string(year), std::to_string(year) + "年", Kind::Number,
                             figure.number_format, figure.unit});
  }
  return trend;
}

std::string fiscal_period(std::string_view period_end, std::string_view months) {
  const long long end = calendar_value(period_end, false);
  if (end < 0) return "";
  std::string text = std::to_string(end / 100) + "年" + std::to_string(end % 100) + "月期";
  if (irregular_period(months)) {
    text += "（" + std::string(months) + "か月）";
  }
  return text;
}

bool irregular_period(std::string_view months) {
  return !months.empty() && months != "12" && months != "0";
}

void item_cells(const Fields& fields, std::string& fiscal, Cell* cells) {
  fiscal = fiscal_period(fields[0], fields[2]);
  for (int item = 1; item <= ItemCount; ++item) {
    const ItemForm form = report_item(item).form;
    const Cell::Type type = form == ItemForm::YearMonth ? Cell::Type::Month
                            : form == ItemForm::Date    ? Cell::Type::Day
                                                        : Cell::Type::Figure;
    cells[item == 1 ? 0 : item] = {type, fields[item - 1]};
  }
  cells[1] = fiscal.empty() ? Cell{} : utf8_cell(fiscal);
}

void block_cells(const Block& block, int period, std::string& fiscal, std::vector<Cell>& cells) {
  static const char* const Periods[] = {"1", "2", "3"};
  cells.resize(sweep_table().columns.size());
  cells[0] = figure_cell(block.code());
  cells[1] = sjis_cell(block.name());
  cells[2] = figure_cell(Periods[period]);
  Fields fields;
  for (int item = 1; item <= ItemCount; ++item) fields[item - 1] = block.field(item, period);
  item_cells(fields, fiscal, &cells[3]);
}

long long calendar_value(std::string_view printed, bool with_day) {
  const auto [year, month, day] = date_parts(printed);
  if (year < 1 || year > 9999 || month < 1 || month > 12) return -1;
  // What the sweep prints for a page without the date.
  if (year == 1900 && month == 1 && (!with_day || day == 1)) return -1;
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
