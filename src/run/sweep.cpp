#include "run/sweep.h"

#include <cstdio>

#include "platform/process.h"
#include "platform/wininet.h"
#include "retrieval/fetch.h"
#include "run/period.h"

int run_sweep() {
  prepare_process();
  HINTERNET session = InternetOpenA(UserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) {
    set_errno_from_wininet();
    perror("\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B\n");  // オープンエラー\n
    return -2;
  }
  PeriodTable table;
  CompanyName name;
  for (int code = FirstCode; code <= LastCode; ++code) {
    // Each code starts from an empty record, so no company shows another's name or figures.
    reset_period_table(&table);
    name.text[0] = '\0';
    int n = fetch_company(code, session, &table, &name);
    if (n <= 0) continue;
    int shown = n < MaxPeriods ? n : MaxPeriods;
    printf("%i,%s,%i\n", code, name.text, shown);
    end_console_output(stdout);  // on one console, the summary line shows before its copy
    fprintf(stderr, "%i,%s,%i\n", code, name.text, shown);
    end_console_output(stderr);
    write_report(stdout, &table, shown);
    end_console_output(stdout);
  }
  InternetCloseHandle(session);
  return 0;
}
