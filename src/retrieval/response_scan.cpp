#include "retrieval/response_scan.h"

int32_t scan_response(ResponseReader* reader, ResultsScanner* scanner, FILE* copy) {
  Line line;
  while (next_line(reader, &line) != nullptr) {
    // The copy keeps every byte of the line, NUL included; a failed write does not stop the scan.
    if (copy != nullptr) fwrite(line.text, 1, line.length, copy);
    ScanVerdict verdict = feed_line(scanner, line.text);
    if (verdict.stop) return verdict.result;
  }
  return period_count(scanner);
}
