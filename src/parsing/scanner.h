#pragma once

#include <cstdint>

#include "items/items.h"

constexpr int CellTextCapacity = 64;
constexpr int NameTextCapacity = 256;

enum class ScanState { BeforeTable, HeaderRow, RowLabel, RowValues };

// The scanner's answer to one line: go on, or stop the fetch with result.
struct ScanVerdict {
  bool stop;
  int32_t result;
};

// The results-table scanner's state for one page; it writes into the caller's table and name.
struct ResultsScanner {
  ScanState scan_state;
  int32_t period_count;
  int32_t row_base;
  int32_t line_in_cell;
  int32_t column;
  PeriodTable* table;
  CompanyName* name;
  char name_text[NameTextCapacity];
  char cell_text[CellTextCapacity];
};

// A scanner before the table, with every counter at 0, writing into table and name.
void start_scanner(ResultsScanner* scanner, PeriodTable* table, CompanyName* name);

// Processes one line of the page (terminated text of at most 255 bytes).
ScanVerdict feed_line(ResultsScanner* scanner, const char* line);

// The result when the page ends without a stop: the number of header cells seen.
int32_t period_count(const ResultsScanner* scanner);
