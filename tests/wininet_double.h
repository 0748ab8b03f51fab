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
  int open_errno = 0;              // errno left by a failed open
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

// A responder that answers every URL with the same response.
std::function<Response(const std::string&)> always(Response response);

const Calls& calls();

}  // namespace wininet_double
