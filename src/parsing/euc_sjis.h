#pragma once

#include <cstddef>

// Converts terminated EUC-JP text to Shift_JIS. Each byte below 0x80 is copied; every byte with
// the high bit set starts a pair, whatever follows it, and the pair maps to one Shift_JIS pair
// by the JIS X 0208 formula (0x8E and 0x8F get no special case). A high-bit byte with no second
// byte before the terminator writes nothing. The output is never longer than the input, so a
// destination as large as the source suffices.
void euc_to_sjis(const char* source, char* destination);

// The same conversion into a destination of capacity bytes (at least 1): it stops before the
// first unit (one byte, or a converted pair) that would not fit in capacity - 1 bytes, so a
// pair is never split, and always terminates. Returns the number of bytes written before the
// terminator.
size_t euc_to_sjis_bounded(const char* source, char* destination, size_t capacity);

// As above for the first source_length bytes of source (or up to its terminator, whichever
// comes first), as if those bytes were terminated text of their own: a high-bit byte that is
// the last of them writes nothing.
size_t euc_to_sjis_bounded(const char* source, size_t source_length, char* destination,
                           size_t capacity);
