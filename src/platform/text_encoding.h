#pragma once

// Shift_JIS (code page 932) text as UTF-8, or as checked Shift_JIS, with the same bytes on every
// platform. The text is cut into units here: a byte 00-7F or A1-DF, or a lead byte 81-9F/E0-FC
// followed by a trail byte 40-7E/80-FC; any other byte is a unit by itself and has no
// character. The platform's converter decides which of the other units have one.

#include <cstddef>
#include <string>
#include <string_view>

// Length (1 or 2) of the unit at the start of text, which is not empty.
size_t sjis_unit_length(std::string_view text);

// Appends text as UTF-8; a unit without a character becomes U+FFFD.
void append_sjis_as_utf8(std::string& out, std::string_view text);

// Appends text unchanged, except that a unit without a character becomes "?".
void append_sjis_checked(std::string& out, std::string_view text);

// Appends UTF-8 text (a file name, which on Linux is any bytes) with each byte that does not
// belong to a well-formed character replaced by U+FFFD; with for_xml, U+FFFE and U+FFFF too,
// which XML does not allow in any form (its controls are written escaped).
void append_valid_utf8(std::string& out, std::string_view text, bool for_xml = false);

// Appends the Shift_JIS unit whose character is code point c and returns true, or returns false
// when no unit has it. Of a character with several units (the NEC and IBM extensions), the one
// code page 932 writes: the lowest, the IBM extension (FA40-FC4B) before the NEC-selected
// (ED40-EEFC).
bool append_code_point_as_sjis(std::string& out, char32_t c);

// The platform's converter for one unit: appends its UTF-8 text and returns true, or returns
// false when the unit has no character. Throws std::runtime_error when there is no converter.
bool platform_unit_to_utf8(std::string_view unit, std::string& out);
