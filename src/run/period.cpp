#include "run/period.h"

namespace {

// Years are printed as tm_year + 1900 without overflowing for any stored value.
long long calendar_year(const CalendarTime& time) {
  return static_cast<long long>(time.tm_year) + 1900;
}
long long calendar_month(const CalendarTime& time) {
  return static_cast<long long>(time.tm_mon) + 1;
}

void write_field(FILE* stream, const ReportItem& item, const PeriodRecord* record) {
  switch (item.form) {
    case ItemForm::YearMonth: {
      const CalendarTime& time = record->*item.date;
      fprintf(stream, ",%lli/%lli", calendar_year(time), calendar_month(time));
      break;
    }
    case ItemForm::Date: {
      const CalendarTime& time = record->*item.date;
      fprintf(stream, ",%lli/%lli/%i", calendar_year(time), calendar_month(time),
              static_cast<int>(time.tm_mday));
      break;
    }
    case ItemForm::Int:
      fprintf(stream, ",%i", static_cast<int>(record->*item.count));
      break;
    case ItemForm::Whole:
      fprintf(stream, ",%.0f", record->*item.amount);
      break;
    case ItemForm::TwoDecimals:
      fprintf(stream, ",%.2f", record->*item.amount);
      break;
    case ItemForm::Zero:
      fputs(",0", stream);
      break;
  }
}

}  // namespace

void write_report(FILE* stream, const PeriodTable* table, int n) {
  if (n > MaxPeriods) n = MaxPeriods;
  for (int number = 1; number <= ItemCount; ++number) {
    const ReportItem& item = report_item(number);
    fputs(item.label, stream);
    for (int k = 0; k < n; ++k) {
      write_field(stream, item, &table->period[k]);
    }
    fputs("\n", stream);
  }
}
