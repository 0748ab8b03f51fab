#pragma once

#include <cstdio>

#include "items/items.h"

// Writes the 23 labelled rows for the first n records (n is limited to 1..MaxPeriods), in one
// piece through write_text.
void write_report(FILE* stream, const PeriodTable* table, int n);
