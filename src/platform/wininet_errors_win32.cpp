#include <cerrno>

#include "platform/wininet.h"

void set_errno_from_wininet() { errno = errno_for_wininet_error(GetLastError()); }
