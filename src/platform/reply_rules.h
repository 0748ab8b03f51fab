#pragma once

// How the layer over libcurl reads a reply: its header lines, the redirects it follows, and the
// errno of a failed transfer. Pure functions over the bytes and codes curl hands over.

#include <curl/curl.h>

#include <cstddef>
#include <string_view>

enum class HeaderKind { Status, Location, End, Other };

struct HeaderLine {
  HeaderKind kind = HeaderKind::Other;
  long status = 0;         // of a status line: its three digits (0 if it has none)
  std::string_view value;  // of a Location line: the value without surrounding white space
};

// One header line as curl delivers it, line end included.
HeaderLine read_header_line(const char* data, size_t length);

// Whether a response of status with this Location is a redirect the layer follows: 301, 302,
// 303, 307 and 308 to an http or https URL, or to one relative to the current URL.
bool followed(long status, std::string_view location);

// The errno for a transfer that failed with code; os_errno is curl's CURLINFO_OS_ERRNO and
// connected whether a connection had been set up.
int errno_for(CURLcode code, long os_errno, bool connected);
