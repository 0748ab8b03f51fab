#include "run/tally.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "retrieval/fetch.h"

namespace {

constexpr int64_t RedrawMs = 100;

int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// h:mm:ss, or m:ss under an hour.
void format_duration(char* out, size_t size, int64_t ms) {
  long long s = ms / 1000;
  if (s >= 3600) {
    snprintf(out, size, "%lli:%02lli:%02lli", s / 3600, s / 60 % 60, s % 60);
  } else {
    snprintf(out, size, "%lli:%02lli", s / 60, s % 60);
  }
}

// Writes the codes of one failure as ranges, "1300-1302, 1500", a piece at a time.
void write_codes(const SweepTally* tally, int8_t failure) {
  char piece[1024];
  size_t length = 0;
  bool first = true;
  for (int i = 0; i < CodeCount; ++i) {
    if (tally->result[i] != failure) continue;
    int last = i;
    while (last + 1 < CodeCount && tally->result[last + 1] == failure) ++last;
    const char* separator = first ? "" : ", ";
    int n = last == i
                ? snprintf(piece + length, sizeof piece - length, "%s%i", separator, FirstCode + i)
                : snprintf(piece + length, sizeof piece - length, "%s%i-%i", separator,
                           FirstCode + i, FirstCode + last);
    length += static_cast<size_t>(n);
    if (length > sizeof piece - 32) {
      write_text(stderr, piece, length);
      length = 0;
    }
    first = false;
    i = last;
  }
  piece[length++] = '\n';
  write_text(stderr, piece, length);
}

}  // namespace

void start_tally(SweepTally* tally) {
  memset(tally, 0, sizeof *tally);
  tally->status_line = status_line_possible();
  tally->started_ms = now_ms();
  tally->drawn_ms = -1;
}

void count_code(SweepTally* tally, int code, int32_t result) {
  ++tally->done;
  if (result > 0) ++tally->companies;
  if (result == FetchRequestFailed) ++tally->requests_failed;
  if (result == FetchCopyFailed) ++tally->copies_failed;
  if (result == FetchRequestFailed || result == FetchCopyFailed) {
    tally->result[code - FirstCode] = static_cast<int8_t>(result);
  }
}

void show_progress(SweepTally* tally, int code) {
  if (!tally->status_line) return;
  int64_t now = now_ms();
  if (tally->drawn_ms >= 0 && now - tally->drawn_ms < RedrawMs) return;
  tally->drawn_ms = now;
  int64_t elapsed = now - tally->started_ms;
  char spent[32], left[32] = "--:--";
  format_duration(spent, sizeof spent, elapsed);
  if (tally->done > 0 && elapsed >= 1000) {
    format_duration(left, sizeof left, elapsed * (CodeCount - tally->done) / tally->done);
  }
  char line[160];
  // 要求中 code  done/total  企業 n  失敗 n  経過 time  残り time
  int n = snprintf(line, sizeof line,
                   "\x97v\x8B\x81\x92\x86 %04i  %i/%i  \x8A\xE9\x8B\xC6 %i  \x8E\xB8\x94s %i  "
                   "\x8Co\x89\xDF %s  \x8E\x63\x82\xE8 %s",
                   code, tally->done, CodeCount, tally->companies,
                   tally->requests_failed + tally->copies_failed, spent, left);
  if (n > 0) show_status_line(line, static_cast<size_t>(n) < sizeof line ? n : sizeof line - 1);
}

int finish_tally(const SweepTally* tally) {
  clear_status_line();
  if (tally->requests_failed == 0 && tally->copies_failed == 0) return 0;
  char line[256];
  // 処理したコード n 件、決算のあった企業 n 社、URLオープンエラー n 件、ファイル作成エラー n 件
  int n =
      snprintf(line, sizeof line,
               "\x8F\x88\x97\x9D\x82\xB5\x82\xBD\x83R\x81[\x83h %i \x8C\x8F\x81\x41"
               "\x8C\x88\x8EZ\x82\xCC\x82\xA0\x82\xC1\x82\xBD\x8A\xE9\x8B\xC6 %i \x8E\xD0\x81\x41"
               "URL\x83I\x81[\x83v\x83\x93\x83G\x83\x89\x81[ %i \x8C\x8F\x81\x41"
               "\x83t\x83@\x83\x43\x83\x8B\x8D\xEC\x90\xAC\x83G\x83\x89\x81[ %i \x8C\x8F\n",
               tally->done, tally->companies, tally->requests_failed, tally->copies_failed);
  write_text(stderr, line, static_cast<size_t>(n));
  if (tally->requests_failed > 0) {
    // URLオープンエラーのコード:
    const char label[] = "URL\x83I\x81[\x83v\x83\x93\x83G\x83\x89\x81[\x82\xCC\x83R\x81[\x83h: ";
    write_text(stderr, label, sizeof label - 1);
    write_codes(tally, FetchRequestFailed);
  }
  if (tally->copies_failed > 0) {
    // ファイル作成エラーのコード:
    const char label[] =
        "\x83t\x83@\x83\x43\x83\x8B\x8D\xEC\x90\xAC\x83G\x83\x89\x81[\x82\xCC\x83R\x81[\x83h: ";
    write_text(stderr, label, sizeof label - 1);
    write_codes(tally, FetchCopyFailed);
  }
  return SomeCodesFailed;
}
