#pragma once

#include <cstdint>

#include "run/sweep.h"

constexpr int CodeCount = LastCode - FirstCode + 1;

// What the sweep has done so far: codes done, companies found, and each code whose request
// could not be opened or whose copy could not be created. A new tally is all zero but started.
struct SweepTally {
  int done;
  int companies;
  int requests_failed;
  int copies_failed;
  int8_t result[CodeCount];  // fetch_company's result for a failed code, else 0
  bool status_line;          // standard error is a terminal
  int64_t started_ms;
  int64_t drawn_ms;  // when the status line was last drawn, or -1
};

void start_tally(SweepTally* tally);

// Counts code's result from fetch_company.
void count_code(SweepTally* tally, int code, int32_t result);

// Shows the status line for the code about to be requested, at most ten times a second, when
// standard error is a terminal.
void show_progress(SweepTally* tally, int code);

// After the last code: removes the status line and, when any code failed, writes the closing
// report to standard error. Returns the exit code: 0, or SomeCodesFailed.
int finish_tally(const SweepTally* tally);
