#include "retrieval/fetch.h"

#include <cstdio>

#include "platform/bounded.h"
#include "platform/console.h"
#include "profile_base_url.h"
#include "retrieval/response_scan.h"

int32_t fetch_company(int code, HINTERNET session, PeriodTable* table, CompanyName* name) {
  char url[64];
  char file_name[64];
  sprintf_s(url, sizeof url, "%s%4i.html", ProfileBaseUrl, code);
  sprintf_s(file_name, sizeof file_name, "%i.html", code);

  FILE* copy = nullptr;
  if (fopen_s(&copy, file_name, "w") != 0 || copy == nullptr) return FetchCopyFailed;

  HINTERNET request = InternetOpenUrlA(session, url, nullptr, 0, 0, 0);
  if (request == nullptr) {
    set_errno_from_wininet();
    report_error(
        "URL\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B\n");  // URLオープンエラー\n
    fclose(copy);
    return FetchRequestFailed;
  }

  ResponseReader reader = start_reader(session, request);
  ResultsScanner scanner;
  start_scanner(&scanner, table, name);
  int32_t result = scan_response(&reader, &scanner, copy);
  InternetCloseHandle(request);
  fclose(copy);
  return result;
}
