#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/console.h"

namespace {

const auto NoConverter = reinterpret_cast<iconv_t>(-1);

// The converter from Shift_JIS to the character set of the user's locale (LC_ALL, LC_CTYPE, LANG),
// or none when that is Shift_JIS already or iconv does not know it. The program's own locale
// stays "C": only the terminal's text is converted.
iconv_t terminal_converter() {
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0))
    user = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return NoConverter;
  char target[64];
  snprintf(target, sizeof target, "%s//TRANSLIT", nl_langinfo_l(CODESET, user));
  freelocale(user);
  constexpr const char* ShiftJis[] = {"SHIFT_JIS", "SHIFT-JIS",   "SJIS",
                                      "CP932",     "WINDOWS-31J", "MS_KANJI"};
  for (const char* sjis : ShiftJis) {
    if (strncasecmp(target, sjis, strlen(sjis)) == 0 && target[strlen(sjis)] == '/')
      return NoConverter;
  }
  return iconv_open(target, "CP932");
}

}  // namespace

int64_t monotonic_milliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool stream_is_terminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

void write_to_terminal(FILE* stream, const char* text, size_t length) {
  static const iconv_t converter = terminal_converter();
  if (converter == NoConverter) {
    fwrite(text, 1, length, stream);
    return;
  }
  char buffer[1024];
  char* in = const_cast<char*>(text);
  size_t in_left = length;
  while (in_left > 0) {
    char* to = buffer;
    size_t out_left = sizeof buffer - 1;
    size_t done = iconv(converter, &in, &in_left, &to, &out_left);
    if (done == static_cast<size_t>(-1) && errno != E2BIG && in_left > 0) {
      // A byte or a character that has no place in the terminal's character set: one "?" for
      // the byte, or for the pair that a lead byte starts.
      auto lead = static_cast<unsigned char>(*in);
      size_t unit = ((lead >= 0x81 && lead <= 0x9F) || lead >= 0xE0) && in_left > 1 ? 2 : 1;
      *to++ = '?';
      in += unit;
      in_left -= unit;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    fwrite(buffer, 1, to - buffer, stream);
  }
}
