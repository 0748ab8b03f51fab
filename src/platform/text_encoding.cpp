#include "platform/text_encoding.h"

#include <cstdint>

namespace {

bool is_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool is_trail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }
bool is_single(unsigned char c) { return c <= 0x7F || (c >= 0xA1 && c <= 0xDF); }

// Each unit's answer is asked of the converter once: length 0 not yet asked, Invalid none.
struct Answer {
  uint8_t length;
  char utf8[7];
};
constexpr uint8_t Invalid = 0xFF;
Answer single_answers[0x100];
Answer pair_answers[0x10000];

const Answer& answer(std::string_view unit) {
  auto lead = static_cast<unsigned char>(unit[0]);
  Answer& a = unit.size() == 1 ? single_answers[lead]
                               : pair_answers[lead << 8 | static_cast<unsigned char>(unit[1])];
  if (a.length == 0) {
    std::string utf8;
    bool known = (unit.size() == 2 || is_single(lead)) && platform_unit_to_utf8(unit, utf8);
    if (known && !utf8.empty() && utf8.size() <= sizeof a.utf8) {
      a.length = static_cast<uint8_t>(utf8.size());
      utf8.copy(a.utf8, utf8.size());
    } else {
      a.length = Invalid;
    }
  }
  return a;
}

}  // namespace

size_t sjis_unit_length(std::string_view text) {
  return text.size() >= 2 && is_lead(static_cast<unsigned char>(text[0])) &&
                 is_trail(static_cast<unsigned char>(text[1]))
             ? 2
             : 1;
}

void append_sjis_as_utf8(std::string& out, std::string_view text) {
  while (!text.empty()) {
    std::string_view unit = text.substr(0, sjis_unit_length(text));
    const Answer& a = answer(unit);
    if (a.length == Invalid) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(a.utf8, a.length);
    }
    text.remove_prefix(unit.size());
  }
}

void append_sjis_checked(std::string& out, std::string_view text) {
  while (!text.empty()) {
    std::string_view unit = text.substr(0, sjis_unit_length(text));
    if (answer(unit).length == Invalid) {
      out += '?';
    } else {
      out += unit;
    }
    text.remove_prefix(unit.size());
  }
}
