#pragma once

#include <cstdint>
#include <cstdio>

#include "parsing/scanner.h"
#include "retrieval/line_reader.h"

// Hands the response's lines to the scanner, each first written whole to copy (unless null),
// until the data ends or the scanner stops; returns the scanner's result or its period count.
int32_t scan_response(ResponseReader* reader, ResultsScanner* scanner, FILE* copy);
