#include "parsing/scanner.h"

void start_scanner(ResultsScanner* scanner, PeriodTable* table, CompanyName* name) {
  scanner->scan_state = ScanState::BeforeTable;
  scanner->period_count = 0;
  scanner->row_base = 0;
  scanner->line_in_cell = 0;
  scanner->column = 0;
  scanner->table = table;
  scanner->name = name;
  scanner->name_text[0] = '\0';
  scanner->cell_text[0] = '\0';
}

ScanVerdict feed_line(ResultsScanner* scanner, const char* line) {
  (void)scanner;
  (void)line;
  return ScanVerdict{false, 0};
}

int32_t period_count(const ResultsScanner* scanner) { return scanner->period_count; }
