#pragma once

#include <cstddef>

// Converts terminated EUC-JP text to Shift_JIS. Each byte below 0x80 is copied; 8E and a byte in
// A1..DF (half-width katakana) write that byte alone; 8F and two bytes of A1 or above (JIS X 0212,
// which Shift_JIS cannot hold) write the geta mark 〓 (81 AC); every other high-bit byte starts a
// pair, whatever follows it, mapped to one Shift_JIS pair by the JIS X 0208 formula. Text that
// ends inside a unit writes nothing for it. The output is never longer than the input, so a
// destination as large as the source suffices.
void euc_to_sjis(const char* source, char* destination);

// The same conversion into a destination of capacity bytes (at least 1): it stops before the
// first unit (one byte, or a converted pair or 〓) that would not fit in capacity - 1 bytes, so a
// pair is never split, and always terminates. Returns the number of bytes written before the
// terminator.
size_t euc_to_sjis_bounded(const char* source, char* destination, size_t capacity);

// As above for the first source_length bytes of source (or up to its terminator, whichever
// comes first), as if those bytes were terminated text of their own: a unit cut by the length
// writes nothing.
size_t euc_to_sjis_bounded(const char* source, size_t source_length, char* destination,
                           size_t capacity);
