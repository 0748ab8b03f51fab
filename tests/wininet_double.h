#pragma once

// A scripted stand-in for the four WinINet operations, linked into the unit tests in place of
// the real layer. Each request is answered by the installed responder.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/wininet.h"

namespace wininet_double {

struct Response {
  bool open_fails = false;
  DWORD open_error = 0;            // the WinINet error of a failed open
  std::string body;                // the bytes the reads deliver
  std::vector<size_t> read_sizes;  // most bytes per successive read; the last one repeats
};

struct Calls {
  int sessions_opened = 0;
  int handles_closed = 0;
  int requests_open = 0;  // requests opened and not yet closed
  int reads = 0;
  std::string agent;
  DWORD access_type = 0xFFFFFFFF;
  std::vector<std::string> urls;  // every InternetOpenUrlA, in order
  std::vector<DWORD> flags;
};

// Forgets all calls and installs a responder; sessions open unless session_fails.
void reset(std::function<Response(const std::string& url)> responder, bool session_fails = false);

// Reports a WinINet error as the platform's WinINet does: on Windows through GetLastError, over
// libcurl in errno.
void report_error(DWORD error);

// A responder that answers every URL with the same response.
std::function<Response(const std::string&)> always(Response response);

const Calls& calls();

}  // namespace wininet_double
