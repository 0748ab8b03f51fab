#include "platform/wininet.h"

// The layer over libcurl sets errno itself.
void set_errno_from_wininet() {}
