#include "run/period.h"

#include <cstring>

namespace {

enum class Field { PeriodEnd, AnnouncedOn, Months, Amount, DividendClass };

struct ReportRow {
  const char* label;  // Shift_JIS
  const char* format;
  Field field;
};

// Items 1..23 in order; the Shift_JIS label's text stands beside it.
const ReportRow Rows[ItemCount] = {
    {"\x8C\x88\x8E\x5A\x94\x4E\x8C\x8E\x93\xFA", ",%i/%i", Field::PeriodEnd},  // 決算年月日
    {"\x81\x69\x8C\x88\x8E\x5A\x94\xAD\x95\x5C\x93\xFA\x81\x6A", ",%i/%i/%i",
     Field::AnnouncedOn},                                          // （決算発表日）
    {"\x8C\x88\x8E\x5A\x8C\x8E\x90\x94", ",%i", Field::Months},    // 決算月数
    {"\x94\x84\x8F\xE3\x8D\x82", ",%.0f", Field::Amount},          // 売上高
    {"\x89\x63\x8B\xC6\x97\x98\x89\x76", ",%.0f", Field::Amount},  // 営業利益
    {"\x8C\x6F\x8F\xED\x97\x98\x89\x76", ",%.0f", Field::Amount},  // 経常利益
    {"\x93\x96\x8A\xFA\x97\x98\x89\x76", ",%.0f", Field::Amount},  // 当期利益
    {"1\x8A\x94\x93\x96\x82\xE8\x93\x96\x8A\xFA\x97\x98\x89\x76", ",%.2f",
     Field::Amount},  // 1株当り当期利益
    {"\x92\xB2\x90\xAE\x31\x8A\x94\x93\x96\x82\xE8\x97\x98\x89\x76", ",%.2f",
     Field::Amount},  // 調整1株当り利益
    {"1\x8A\x94\x93\x96\x82\xE8\x94\x7A\x93\x96", ",%.2f", Field::Amount},  // 1株当り配当
    {"\x94\x7A\x93\x96\x8B\xE6\x95\xAA", ",%.0f", Field::DividendClass},    // 配当区分
    {"1\x8A\x94\x93\x96\x82\xE8\x8A\x94\x8E\xE5\x8E\x91\x96\x7B", ",%.2f",
     Field::Amount},  // 1株当り株主資本
    {"\x94\xAD\x8D\x73\x8D\xCF\x82\xDD\x8A\x94\x8E\xAE\x91\x8D\x90\x94", ",%.0f",
     Field::Amount},                                               // 発行済み株式総数
    {"\x91\x8D\x8E\x91\x8E\x59", ",%.0f", Field::Amount},          // 総資産
    {"\x8A\x94\x8E\xE5\x8E\x91\x96\x7B", ",%.0f", Field::Amount},  // 株主資本
    {"\x8E\x91\x96\x7B\x8B\xE0", ",%.0f", Field::Amount},          // 資本金
    {"\x97\x4C\x97\x98\x8E\x71\x95\x89\x8D\xC2", ",%.0f", Field::Amount},  // 有利子負債
    {"\x8C\x4A\x89\x7A\x91\xB9\x89\x76", ",%.0f", Field::Amount},          // 繰越損益
    {"\x8A\x94\x8E\xE5\x8E\x91\x96\x7B\x94\xE4\x97\xA6", ",%.0f", Field::Amount},  // 株主資本比率
    {"\x8A\xDC\x82\xDD\x91\xB9\x89\x76", ",%.0f", Field::Amount},                  // 含み損益
    {"\x91\x8D\x8E\x91\x8E\x59\x97\x98\x89\x76\x97\xA6", ",%.2f", Field::Amount},  // 総資産利益率
    {"\x8E\xA9\x8C\xC8\x8E\x91\x96\x7B\x97\x98\x89\x76\x97\xA6", ",%.2f",
     Field::Amount},  // 自己資本利益率
    {"\x91\x8D\x8E\x91\x8E\x59\x8C\x6F\x8F\xED\x97\x98\x89\x76\x97\xA6", ",%.2f",
     Field::Amount},  // 総資産経常利益率
};

// Years are printed as tm_year + 1900 without overflowing for any stored value.
long long calendar_year(const CalendarTime& time) {
  return static_cast<long long>(time.tm_year) + 1900;
}
long long calendar_month(const CalendarTime& time) {
  return static_cast<long long>(time.tm_mon) + 1;
}

void write_field(FILE* stream, const ReportRow& row, const PeriodRecord* record, int item) {
  switch (row.field) {
    case Field::PeriodEnd:
      fprintf(stream, ",%lli/%lli", calendar_year(record->period_end),
              calendar_month(record->period_end));
      break;
    case Field::AnnouncedOn:
      fprintf(stream, ",%lli/%lli/%i", calendar_year(record->announced_on),
              calendar_month(record->announced_on), static_cast<int>(record->announced_on.tm_mday));
      break;
    case Field::Months:
      fprintf(stream, ",%i", static_cast<int>(record->months));
      break;
    case Field::DividendClass:
      // The page's dividend class is not kept; the row always shows 0.
      fprintf(stream, ",%.0f", 0.0);
      break;
    case Field::Amount:
      fprintf(stream, row.format, *amount_field(record, item));
      break;
  }
}

}  // namespace

const double* amount_field(const PeriodRecord* record, int item) {
  switch (item) {
    case 4:
      return &record->net_sales;
    case 5:
      return &record->operating_income;
    case 6:
      return &record->ordinary_income;
    case 7:
      return &record->net_income;
    case 8:
      return &record->eps;
    case 9:
      return &record->diluted_eps;
    case 10:
      return &record->dividend_per_share;
    case 12:
      return &record->equity_per_share;
    case 13:
      return &record->shares_issued;
    case 14:
      return &record->total_assets;
    case 15:
      return &record->shareholders_equity;
    case 16:
      return &record->capital_stock;
    case 17:
      return &record->interest_bearing_debt;
    case 18:
      return &record->retained_earnings;
    case 19:
      return &record->equity_ratio;
    case 20:
      return &record->unrealized_gains;
    case 21:
      return &record->roa;
    case 22:
      return &record->roe;
    case 23:
      return &record->ordinary_roa;
    default:
      return nullptr;
  }
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

const char* report_label(int item) { return Rows[item - 1].label; }

const char* report_format(int item) { return Rows[item - 1].format; }

void write_report(FILE* stream, const PeriodTable* table, int n) {
  if (n > MaxPeriods) n = MaxPeriods;
  for (int item = 1; item <= ItemCount; ++item) {
    const ReportRow& row = Rows[item - 1];
    fputs(row.label, stream);
    for (int k = 0; k < n; ++k) {
      write_field(stream, row, &table->period[k], item);
    }
    fputs("\n", stream);
  }
}
