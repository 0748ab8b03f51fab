#include "run/period.h"

#include <cstdarg>

#include "platform/console.h"

namespace {

// Years are printed as tm_year + 1900 without overflowing for any stored value.
long long calendar_year(const CalendarTime& time) {
  return static_cast<long long>(time.tm_year) + 1900;
}
long long calendar_month(const CalendarTime& time) {
  return static_cast<long long>(time.tm_mon) + 1;
}

// The report block as text: 23 rows of at most three fields, each field at most 311 bytes
// (an amount near the largest double), so it always fits.
struct ReportText {
  char text[24 * 1024];
  size_t length;
};

void append(ReportText* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  size_t room = sizeof out->text - out->length;
  int n = vsnprintf(out->text + out->length, room, format, args);
  va_end(args);
  if (n > 0) out->length += static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1;
}

void write_field(ReportText* out, const ReportItem& item, const PeriodRecord* record) {
  switch (item.form) {
    case ItemForm::YearMonth: {
      const CalendarTime& time = record->*item.date;
      append(out, ",%lli/%lli", calendar_year(time), calendar_month(time));
      break;
    }
    case ItemForm::Date: {
      const CalendarTime& time = record->*item.date;
      append(out, ",%lli/%lli/%i", calendar_year(time), calendar_month(time),
             static_cast<int>(time.tm_mday));
      break;
    }
    case ItemForm::Int:
      append(out, ",%i", static_cast<int>(record->*item.count));
      break;
    case ItemForm::Whole:
      append(out, ",%.0f", record->*item.amount);
      break;
    case ItemForm::TwoDecimals:
      append(out, ",%.2f", record->*item.amount);
      break;
    case ItemForm::Zero:
      append(out, ",0");
      break;
  }
}

}  // namespace

void write_report(FILE* stream, const PeriodTable* table, int n) {
  if (n > MaxPeriods) n = MaxPeriods;
  static ReportText out;  // on a console, the block is written in one piece
  out.length = 0;
  for (int number = 1; number <= ItemCount; ++number) {
    const ReportItem& item = report_item(number);
    append(&out, "%s", item.label);
    for (int k = 0; k < n; ++k) {
      write_field(&out, item, &table->period[k]);
    }
    append(&out, "\n");
  }
  write_text(stream, out.text, out.length);
}
