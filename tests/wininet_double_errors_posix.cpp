#include <cerrno>

#include "wininet_double.h"

// The layer over libcurl reports its errors in errno.
void wininet_double::report_error(DWORD error) { errno = errno_for_wininet_error(error); }
