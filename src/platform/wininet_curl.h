#pragma once

// The handles of the WinINet layer over libcurl, shared by its API (wininet_curl.cpp) and its
// transfers (wininet_curl_transfer.cpp). A session is one curl multi handle, whose connection
// cache and name cache outlive its requests, and one cookie store; a request is one easy handle
// in it, whose body streams through a bounded buffer.

#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/wininet.h"

enum class Tag : uint32_t { Session = 0x4b534553, Request = 0x4b524551, Free = 0x4b465245 };

constexpr DWORD DefaultTimeoutMs = 60000;
constexpr DWORD NoTimeout = 0xFFFFFFFF;

struct Handle {
  Tag tag;
};

struct Session;

// What is known of the response whose headers or body are arriving; a redirect that is
// followed, or a resend, starts a new one.
struct Response {
  bool final_headers = false;       // the headers of the response that is delivered have arrived
  bool connected = false;           // a connection is set up; the receive timeout (0: none) applies
  bool headers_seen = false;        // it has a status line; without one it is HTTP/0.9
  bool first_line_skipped = false;  // of an HTTP/0.9 reply, whose first line WinINet drops
  bool redirect = false;            // it is a redirect that is followed
  bool replied = false;             // a byte of it has been seen
  long status = 0;
  std::string location;  // its first Location value, trimmed
  size_t discarded = 0;  // body bytes thrown away
};

struct Request : Handle {
  Session* session = nullptr;  // null once the session is closed
  CURL* easy = nullptr;
  std::unique_ptr<char[]> buffer;
  size_t capacity = 0;
  size_t pos = 0;  // next unread byte in buffer
  size_t len = 0;  // bytes held in buffer
  bool in_multi = false;
  bool paused = false;    // the write callback refused a chunk; curl holds it
  bool done = false;      // the transfer ended, see result
  bool activity = false;  // something arrived since the wait loop last looked
  bool discard = false;   // closing: body bytes are thrown away
  bool resent = false;    // the request was sent again on a new connection
  long redirects = 0;
  Response response;
  CURLcode result = CURLE_OK;
  int error = 0;  // errno for a failed transfer
  DWORD receive_ms = DefaultTimeoutMs;

  Request() : Handle{Tag::Request} {}
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  ~Request() {
    if (easy != nullptr) curl_easy_cleanup(easy);
  }
};

struct Session : Handle {
  CURLM* multi = nullptr;
  CURLSH* cookies = nullptr;  // the cookies its replies set, kept in memory for its requests
  std::string agent;
  bool has_agent = false;
  std::string proxy;     // curl form; empty: none
  long proxy_port = 0;   // of a proxy named without a port; 0: curl's default
  std::string no_proxy;  // curl form
  DWORD connect_ms = DefaultTimeoutMs;
  DWORD receive_ms = DefaultTimeoutMs;
  std::vector<Request*> open;      // requests not yet closed
  std::unique_ptr<Request> spare;  // a closed request kept for the next one

  Session() : Handle{Tag::Session} {}
};

// A request of s with its easy handle set up for the layer's transfers; null if curl fails.
std::unique_ptr<Request> new_request(Session* s);

enum class Want { Headers, Data };

// Runs the session's transfers until r has what is wanted, has ended, or has been silent for
// its receive timeout after its connection was set up (before that, curl's connect timeout
// rules).
void run_until(Request* r, Want want);

// Ends a transfer that curl is still running, with code and error.
void abort_transfer(Request* r, CURLcode code, int error);

// Reads what of the rest of the body has already arrived, so that a complete response leaves
// its connection reusable; gives up at once when more would have to be waited for.
void drain(Request* r);
