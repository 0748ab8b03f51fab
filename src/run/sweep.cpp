#include "run/sweep.h"

#include <cstdio>

#include "platform/console.h"
#include "platform/process.h"
#include "platform/wininet.h"
#include "retrieval/fetch.h"
#include "run/period.h"
#include "run/tally.h"

int run_sweep() {
  prepare_process();
  HINTERNET session = InternetOpenA(UserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) {
    set_errno_from_wininet();
    report_error("\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B\n");  // オープンエラー\n
    return -2;
  }
  PeriodTable table;
  CompanyName name;
  static SweepTally tally;
  start_tally(&tally);
  for (int code = FirstCode; code <= LastCode; ++code) {
    show_progress(&tally, code);
    // Each code starts from an empty record, so no company shows another's name or figures.
    reset_period_table(&table);
    name.text[0] = '\0';
    int n = fetch_company(code, session, &table, &name);
    count_code(&tally, code, n);
    if (n <= 0) continue;
    int shown = n < MaxPeriods ? n : MaxPeriods;
    char summary[NameCapacity + 32];
    int length = snprintf(summary, sizeof summary, "%i,%s,%i\n", code, name.text, shown);
    // On one console, the summary line shows before its copy, and that before the block.
    write_text(stdout, summary, static_cast<size_t>(length));
    write_text(stderr, summary, static_cast<size_t>(length));
    write_report(stdout, &table, shown);
  }
  InternetCloseHandle(session);
  return finish_tally(&tally);
}
