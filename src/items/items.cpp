#include "items/items.h"

#include <cstring>

namespace {

using R = PeriodRecord;

constexpr ReportItem year_month(const char* label, const char* column, CalendarTime R::*field) {
  return {label, column, ItemForm::YearMonth, Unit::None, "yyyy-mm", field, nullptr, nullptr};
}
constexpr ReportItem date(const char* label, const char* column, CalendarTime R::*field) {
  return {label, column, ItemForm::Date, Unit::None, "yyyy-mm-dd", field, nullptr, nullptr};
}
constexpr ReportItem count(const char* label, const char* column, int32_t R::*field) {
  return {label, column, ItemForm::Int, Unit::Months, nullptr, nullptr, field, nullptr};
}
// An amount printed whole or with two decimals. Percentages are printed as percent (40 is 40%):
// the format shows the sign, not the value times 100.
constexpr ReportItem amount(const char* label, const char* column, double R::*field, ItemForm form,
                            Unit unit) {
  const bool whole = form == ItemForm::Whole, percent = unit == Unit::Percent;
  return {label,
          column,
          form,
          unit,
          whole ? (percent ? "#,##0\"%\"" : "#,##0") : (percent ? "#,##0.00\"%\"" : "#,##0.00"),
          nullptr,
          nullptr,
          field};
}
constexpr ReportItem whole(const char* label, const char* column, double R::*field,
                           Unit unit = Unit::Yen) {
  return amount(label, column, field, ItemForm::Whole, unit);
}
constexpr ReportItem two_decimals(const char* label, const char* column, double R::*field,
                                  Unit unit = Unit::YenPerShare) {
  return amount(label, column, field, ItemForm::TwoDecimals, unit);
}
// The page's value is not kept: the row always shows 0.
constexpr ReportItem zero(const char* label, const char* column) {
  return {label, column, ItemForm::Zero, Unit::None, nullptr, nullptr, nullptr, nullptr};
}

// Items 1..23 in order; the Shift_JIS label's text stands beside it.
constexpr ReportItem Items[ItemCount] = {
    year_month("\x8C\x88\x8E\x5A\x94\x4E\x8C\x8E\x93\xFA", "period_end",
               &R::period_end),  // 決算年月日
    date("\x81\x69\x8C\x88\x8E\x5A\x94\xAD\x95\x5C\x93\xFA\x81\x6A", "announced_on",
         &R::announced_on),                                           // （決算発表日）
    count("\x8C\x88\x8E\x5A\x8C\x8E\x90\x94", "months", &R::months),  // 決算月数
    whole("\x94\x84\x8F\xE3\x8D\x82", "net_sales", &R::net_sales),    // 売上高
    whole("\x89\x63\x8B\xC6\x97\x98\x89\x76", "operating_income",
          &R::operating_income),  // 営業利益
    whole("\x8C\x6F\x8F\xED\x97\x98\x89\x76", "ordinary_income", &R::ordinary_income),  // 経常利益
    whole("\x93\x96\x8A\xFA\x97\x98\x89\x76", "net_income", &R::net_income),  // 当期利益
    two_decimals("1\x8A\x94\x93\x96\x82\xE8\x93\x96\x8A\xFA\x97\x98\x89\x76", "eps",
                 &R::eps),  // 1株当り当期利益
    two_decimals("\x92\xB2\x90\xAE\x31\x8A\x94\x93\x96\x82\xE8\x97\x98\x89\x76", "diluted_eps",
                 &R::diluted_eps),  // 調整1株当り利益
    two_decimals("1\x8A\x94\x93\x96\x82\xE8\x94\x7A\x93\x96", "dividend_per_share",
                 &R::dividend_per_share),                        // 1株当り配当
    zero("\x94\x7A\x93\x96\x8B\xE6\x95\xAA", "dividend_class"),  // 配当区分
    two_decimals("1\x8A\x94\x93\x96\x82\xE8\x8A\x94\x8E\xE5\x8E\x91\x96\x7B", "equity_per_share",
                 &R::equity_per_share),  // 1株当り株主資本
    whole("\x94\xAD\x8D\x73\x8D\xCF\x82\xDD\x8A\x94\x8E\xAE\x91\x8D\x90\x94", "shares_issued",
          &R::shares_issued, Unit::Shares),  // 発行済み株式総数
    whole("\x91\x8D\x8E\x91\x8E\x59", "total_assets", &R::total_assets),  // 総資産
    whole("\x8A\x94\x8E\xE5\x8E\x91\x96\x7B", "shareholders_equity",
          &R::shareholders_equity),                                         // 株主資本
    whole("\x8E\x91\x96\x7B\x8B\xE0", "capital_stock", &R::capital_stock),  // 資本金
    whole("\x97\x4C\x97\x98\x8E\x71\x95\x89\x8D\xC2", "interest_bearing_debt",
          &R::interest_bearing_debt),  // 有利子負債
    whole("\x8C\x4A\x89\x7A\x91\xB9\x89\x76", "retained_earnings",
          &R::retained_earnings),  // 繰越損益
    whole("\x8A\x94\x8E\xE5\x8E\x91\x96\x7B\x94\xE4\x97\xA6", "equity_ratio", &R::equity_ratio,
          Unit::Percent),  // 株主資本比率
    whole("\x8A\xDC\x82\xDD\x91\xB9\x89\x76", "unrealized_gains",
          &R::unrealized_gains),  // 含み損益
    two_decimals("\x91\x8D\x8E\x91\x8E\x59\x97\x98\x89\x76\x97\xA6", "roa", &R::roa,
                 Unit::Percent),  // 総資産利益率
    two_decimals("\x8E\xA9\x8C\xC8\x8E\x91\x96\x7B\x97\x98\x89\x76\x97\xA6", "roe", &R::roe,
                 Unit::Percent),  // 自己資本利益率
    two_decimals("\x91\x8D\x8E\x91\x8E\x59\x8C\x6F\x8F\xED\x97\x98\x89\x76\x97\xA6", "ordinary_roa",
                 &R::ordinary_roa, Unit::Percent),  // 総資産経常利益率
};

}  // namespace

const ReportItem& report_item(int item) { return Items[item - 1]; }

const double* amount_field(const PeriodRecord* record, int item) {
  if (item < 1 || item > ItemCount || Items[item - 1].amount == nullptr) return nullptr;
  return &(record->*Items[item - 1].amount);
}

double* amount_field(PeriodRecord* record, int item) {
  return const_cast<double*>(amount_field(static_cast<const PeriodRecord*>(record), item));
}

void reset_period_table(PeriodTable* table) {
  memset(table, 0, sizeof *table);
  for (PeriodRecord& record : table->period) {
    record.period_end.tm_hour = 12;
    record.period_end.tm_mday = 1;
    record.announced_on.tm_hour = 12;
    record.announced_on.tm_mday = 1;
  }
}
