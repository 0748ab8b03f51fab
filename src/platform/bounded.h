#pragma once

// The bounded forms of the standard library's copies. Windows' C library has them; elsewhere
// this folder supplies them with the same meaning.

#include <cstddef>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
using errno_t = int;

// Formats into buf; on overflow leaves buf empty and returns -1, else the length written.
int sprintf_s(char* buf, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Copies src into dst; if it does not fit, leaves dst empty and returns ERANGE, else 0.
errno_t strcpy_s(char* dst, size_t size, const char* src);
// Opens a file into *file (null on failure); returns 0 or the errno of the failure.
errno_t fopen_s(FILE** file, const char* name, const char* mode);
#endif
