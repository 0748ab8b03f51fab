#pragma once

#include <cstdint>
#include <cstdio>

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

// The double field that stores item 4..10 or 12..23; null for every other item.
double* amount_field(PeriodRecord* record, int item);
const double* amount_field(const PeriodRecord* record, int item);

// Empties the table: both dates 1900-01-01 12:00:00, every number 0.
void reset_period_table(PeriodTable* table);

// Item 1..23's Shift_JIS label and the conversion its fields print with (",%.2f" and the like).
const char* report_label(int item);
const char* report_format(int item);

// Writes the 23 labelled rows for the first n records (n is limited to 1..MaxPeriods).
void write_report(FILE* stream, const PeriodTable* table, int n);
