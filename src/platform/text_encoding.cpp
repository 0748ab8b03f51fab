#include "platform/text_encoding.h"

#include <cstdint>
#include <vector>

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

// The code point of a unit's UTF-8 text, or NoCodePoint when it is not one code point.
constexpr char32_t NoCodePoint = 0xFFFFFFFF;
char32_t code_point_of(const Answer& a) {
  const auto* b = reinterpret_cast<const unsigned char*>(a.utf8);
  if (a.length == 1 && b[0] < 0x80) return b[0];
  if (a.length == 2 && b[0] >= 0xC0 && b[0] < 0xE0) return (b[0] & 0x1Fu) << 6 | (b[1] & 0x3Fu);
  if (a.length == 3 && b[0] >= 0xE0 && b[0] < 0xF0) {
    return (b[0] & 0x0Fu) << 12 | (b[1] & 0x3Fu) << 6 | (b[2] & 0x3Fu);
  }
  return NoCodePoint;
}

// Every unit's character, read back: code point -> unit (a byte, or lead << 8 | trail; NoUnit
// for none). Code page 932's characters are all in the Basic Multilingual Plane.
constexpr uint16_t NoUnit = 0xFFFF;
const std::vector<uint16_t>& units_by_code_point() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> units(0x10000, NoUnit);
    auto add = [&](uint16_t unit, std::string_view bytes) {
      const Answer& a = answer(bytes);
      if (a.length == Invalid) return;
      const char32_t c = code_point_of(a);
      if (c < units.size() && units[c] == NoUnit) units[c] = unit;
    };
    for (int byte = 0; byte < 0x100; ++byte) {
      const char single = static_cast<char>(byte);
      if (is_single(static_cast<unsigned char>(byte))) add(byte, std::string_view(&single, 1));
    }
    // The first unit of a character wins: leads in order, with ED and EE after FA-FC.
    std::vector<int> leads;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (is_lead(lead) && lead != 0xED && lead != 0xEE) leads.push_back(lead);
      if (lead == 0xFC) leads.insert(leads.end(), {0xED, 0xEE});
    }
    for (int lead : leads) {
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (!is_trail(trail)) continue;
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        add(static_cast<uint16_t>(lead << 8 | trail), std::string_view(pair, 2));
      }
    }
    return units;
  }();
  return table;
}

}  // namespace

bool append_code_point_as_sjis(std::string& out, char32_t c) {
  const std::vector<uint16_t>& units = units_by_code_point();
  if (c >= units.size() || units[c] == NoUnit) return false;
  const uint16_t unit = units[c];
  if (unit > 0xFF) out += static_cast<char>(unit >> 8);
  out += static_cast<char>(unit & 0xFF);
  return true;
}

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

void append_valid_utf8(std::string& out, std::string_view text, bool for_xml) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = bytes[i];
    size_t length = c < 0x80                 ? 1
                    : c >= 0xC2 && c <= 0xDF ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    char32_t point = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < length; ++k) {
      if (i + k >= text.size() || (bytes[i + k] & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      point = point << 6 | (bytes[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and points past U+10FFFF are not characters.
    static const char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length > 0 &&
        (point < Least[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)) {
      length = 0;
    }
    const bool allowed = !for_xml || (point != 0xFFFE && point != 0xFFFF);
    if (length == 0 || !allowed) {
      out += "\xEF\xBF\xBD";
      i += length == 0 ? 1 : length;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
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
