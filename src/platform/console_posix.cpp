#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>

#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/text_encoding.h"

namespace {

const auto NoConverter = reinterpret_cast<iconv_t>(-1);

// The converter from Shift_JIS to the character set of the user's locale (LC_ALL, LC_CTYPE, LANG),
// or none when that is Shift_JIS already or iconv does not know it. The program's own locale
// stays "C": only the terminal's text is converted.
iconv_t terminal_converter() {
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0))
    user = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  std::string charset = user != static_cast<locale_t>(0) ? nl_langinfo_l(CODESET, user) : "";
  if (user != static_cast<locale_t>(0)) freelocale(user);
  for (const char* sjis : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI"}) {
    if (strcasecmp(charset.c_str(), sjis) == 0) return NoConverter;
  }
  if (charset.empty()) return NoConverter;
  return iconv_open((charset + "//TRANSLIT").c_str(), "CP932");
}

}  // namespace

void write_to_terminal(FILE* stream, const char* text, size_t length) {
  static const iconv_t converter = terminal_converter();
  if (converter == NoConverter) {
    fwrite(text, 1, length, stream);
    return;
  }
  std::string out;
  char buffer[1024];
  std::string_view rest(text, length);
  while (!rest.empty()) {
    char* in = const_cast<char*>(rest.data());
    size_t in_left = rest.size();
    char* to = buffer;
    size_t out_left = sizeof buffer;
    size_t done = iconv(converter, &in, &in_left, &to, &out_left);
    int error = errno;
    out.append(buffer, to - buffer);
    rest.remove_prefix(rest.size() - in_left);
    if (done == static_cast<size_t>(-1) && error != E2BIG && !rest.empty()) {
      // A byte or a character that has no place in the terminal's character set.
      out += '?';
      rest.remove_prefix(sjis_unit_length(rest));
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  fwrite(out.data(), 1, out.size(), stream);
}
