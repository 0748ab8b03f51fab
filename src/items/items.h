#pragma once

// The records the sweep fills and the 23 items of its report: one table of each item's label,
// column name, printed form and record field, which the scanner, the report writer and
// kessan-tidy read.

#include <cstdint>

constexpr int MaxPeriods = 3;
constexpr int NameCapacity = 128;
constexpr int ItemCount = 23;

// Calendar time in the standard library's tm layout: nine 32-bit signed integers.
struct CalendarTime {
  int32_t tm_sec, tm_min, tm_hour, tm_mday, tm_mon, tm_year, tm_wday, tm_yday, tm_isdst;
};

// One fiscal period: one column of a company's results table.
struct PeriodRecord {
  CalendarTime period_end;
  CalendarTime announced_on;
  int32_t months;
  double net_sales, operating_income, ordinary_income, net_income, eps, diluted_eps,
      dividend_per_share;
  int32_t dividend_class;
  double equity_per_share, shares_issued, total_assets, shareholders_equity, capital_stock,
      interest_bearing_debt, retained_earnings, equity_ratio, unrealized_gains, roa, roe,
      ordinary_roa;
};

struct PeriodTable {
  PeriodRecord period[MaxPeriods];
};

// Shift_JIS text: at most 127 bytes and a terminator.
struct CompanyName {
  char text[NameCapacity];
};

// How an item's fields are printed: ",%i/%i" of year and month, ",%i/%i/%i" of year, month and
// day, ",%i", ",%.0f", ",%.2f", or ",0" whatever the record holds.
enum class ItemForm { YearMonth, Date, Int, Whole, TwoDecimals, Zero };

// What an item counts in: yen; yen a share; percent; shares; months; or nothing (a date, a
// class).
enum class Unit { None, Yen, YenPerShare, Percent, Shares, Months };

// One item of the report. Exactly one field is set, but none for an item whose value is not
// kept; the form says which: a date for YearMonth and Date, count for Int, amount for Whole
// and TwoDecimals.
struct ReportItem {
  const char* label;   // Shift_JIS
  const char* column;  // kessan-tidy's column name
  ItemForm form;
  Unit unit;
  // How a workbook shows it, as an Excel number format; null: General.
  const char* number_format;
  CalendarTime PeriodRecord::*date;
  int32_t PeriodRecord::*count;
  double PeriodRecord::*amount;
};

// Item 1..ItemCount.
const ReportItem& report_item(int item);

// The double field that stores item 1..ItemCount, or null when it has none (or for any other
// number).
double* amount_field(PeriodRecord* record, int item);
const double* amount_field(const PeriodRecord* record, int item);

// Empties the table: both dates 1900-01-01 12:00:00, every number 0.
void reset_period_table(PeriodTable* table);
