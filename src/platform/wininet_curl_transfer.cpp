// The transfers of the WinINet layer over libcurl. The write callback pauses a transfer when the
// request's buffer is full and a read resumes it when the buffer is empty. Redirects are
// followed here rather than by curl: as soon as their headers are in, and only to http and https
// (one to another scheme is handed back as the response it is). A GET that fails on a kept
// connection before any reply is sent again once on a new connection.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/reply_rules.h"
#include "platform/wininet_curl.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long MaxRedirects = 20;  // as browsers do
constexpr size_t BufferCapacity = 4 * CURL_MAX_WRITE_SIZE;
constexpr size_t DrainBudget = 256 * 1024;  // body bytes worth reading to keep a connection
constexpr int IdleWaitMs = 1000;            // longest single wait; curl's own timers end it sooner

// --- callbacks -------------------------------------------------------------------------------

size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  Response& response = r->response;
  size_t length = size * count;
  r->activity = response.replied = true;
  response.headers_seen = true;
  if (response.final_headers) return length;  // trailers of a chunked body
  HeaderLine line = read_header_line(data, length);
  if (line.kind == HeaderKind::Status) {
    response.status = line.status;
    response.location.clear();
  } else if (line.kind == HeaderKind::Location && response.location.empty()) {
    response.location = line.value;
  } else if (line.kind == HeaderKind::End) {
    // End of one response's headers. Interim (1xx) responses and the redirects that are
    // followed are not the response the caller gets.
    response.redirect = followed(response.status, response.location);
    if (response.status >= 200 && !response.redirect) response.final_headers = true;
    if (response.redirect) response.connected = false;  // the next hop may need its own
  }
  return length;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  Response& response = r->response;
  size_t length = size * count;
  r->activity = response.replied = true;
  response.final_headers = !response.redirect;
  if (response.redirect || r->discard) {
    response.discarded += length;
    return length;
  }
  if (!response.headers_seen && !response.first_line_skipped) {
    // Nothing has been kept yet, so the rest always fits below.
    auto* lf = static_cast<char*>(memchr(data, '\n', length));
    if (lf == nullptr) return length;
    response.first_line_skipped = true;
    size_t skip = static_cast<size_t>(lf - data) + 1;
    return skip + on_body(lf + 1, 1, length - skip, user);
  }
  if (r->pos == r->len) r->pos = r->len = 0;
  if (r->capacity - r->len < length && r->pos > 0) {
    memmove(r->buffer.get(), r->buffer.get() + r->pos, r->len - r->pos);
    r->len -= r->pos;
    r->pos = 0;
  }
  if (r->capacity - r->len < length) {
    if (r->len != 0) {
      r->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    // Larger than the whole buffer (curl does not deliver such pieces of a plain body).
    r->buffer = std::make_unique<char[]>(length);
    r->capacity = length;
  }
  memcpy(r->buffer.get() + r->len, data, length);
  r->len += length;
  return length;
}

int on_connected(void* user, char*, char*, int, int) {
  auto* r = static_cast<Request*>(user);
  r->response.connected = true;
  r->activity = true;
  return CURL_PREREQFUNC_OK;
}

// --- transfers -------------------------------------------------------------------------------

void fail(Request* r, CURLcode code, int error) {
  r->done = true;
  r->result = code;
  r->error = error;
}

// Starts the transfer again, with url (or the same one) and on a new connection if asked. A
// transfer still running is ended, and curl closes its connection.
void restart(Request* r, const char* url, bool new_connection) {
  r->response = Response{};
  CURLM* multi = r->session->multi;
  curl_multi_remove_handle(multi, r->easy);
  if ((url != nullptr && curl_easy_setopt(r->easy, CURLOPT_URL, url) != CURLE_OK) ||
      curl_easy_setopt(r->easy, CURLOPT_FRESH_CONNECT, new_connection ? 1L : 0L) != CURLE_OK ||
      curl_multi_add_handle(multi, r->easy) != CURLM_OK) {
    r->in_multi = false;
    fail(r, CURLE_OUT_OF_MEMORY, ENOMEM);
  }
}

// The request goes on with the redirect's URL, at most MaxRedirects times.
void follow(Request* r) {
  if (r->redirects == MaxRedirects) {
    abort_transfer(r, CURLE_TOO_MANY_REDIRECTS, ELOOP);
    return;
  }
  // The Location, resolved against the URL it came from (curl's own copy exists only once the
  // transfer has ended).
  char* from = nullptr;
  char* to = nullptr;
  CURLU* u = curl_url();
  bool ok = u != nullptr && curl_easy_getinfo(r->easy, CURLINFO_EFFECTIVE_URL, &from) == CURLE_OK &&
            from != nullptr && curl_url_set(u, CURLUPART_URL, from, 0) == CURLUE_OK &&
            curl_url_set(u, CURLUPART_URL, r->response.location.c_str(),
                         CURLU_URLENCODE | CURLU_ALLOW_SPACE) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_URL, &to, 0) == CURLUE_OK;
  std::string url = ok ? to : "";
  curl_free(to);
  curl_url_cleanup(u);
  if (!ok) {
    abort_transfer(r, CURLE_URL_MALFORMAT, EINVAL);
    return;
  }
  ++r->redirects;
  restart(r, url.c_str(), false);
}

// A GET that failed on a kept connection before any byte of the reply is sent again, once, on a
// new connection: the server may have closed the connection as the request went out.
bool resend(Request* r, CURLcode code) {
  long connects = 1;
  if (r->resent || r->response.replied ||
      curl_easy_getinfo(r->easy, CURLINFO_NUM_CONNECTS, &connects) != CURLE_OK || connects != 0)
    return false;
  if (code != CURLE_SEND_ERROR && code != CURLE_RECV_ERROR && code != CURLE_GOT_NOTHING)
    return false;
  r->resent = true;
  restart(r, nullptr, true);
  return true;
}

// Records the end of every finished transfer of the session.
void collect_done(Session* s) {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(s->multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Request* r = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&r));
    if (r == nullptr || r->done) continue;
    CURLcode code = message->data.result;
    if (r->response.redirect) {
      follow(r);  // whether its body ended well or not
    } else if (code == CURLE_OK) {
      fail(r, code, 0);
    } else if (!resend(r, code)) {
      long os_errno = 0;
      curl_easy_getinfo(r->easy, CURLINFO_OS_ERRNO, &os_errno);
      fail(r, code, errno_for(code, os_errno, r->response.connected));
    }
  }
}

// Runs the session's transfers on what has already arrived, until r ends or more would have to
// be waited for.
void take_arrived(Request* r) {
  Session* s = r->session;
  for (int round = 0; round < 4 && !r->done && r->response.discarded <= DrainBudget; ++round) {
    int running = 0;
    if (curl_multi_perform(s->multi, &running) != CURLM_OK) return;
    collect_done(s);
    if (r->done) return;
    int ready = 0;
    if (curl_multi_poll(s->multi, nullptr, 0, 0, &ready) != CURLM_OK || ready == 0) return;
  }
}

}  // namespace

void abort_transfer(Request* r, CURLcode code, int error) {
  if (r->in_multi) {
    curl_multi_remove_handle(r->session->multi, r->easy);
    r->in_multi = false;
  }
  r->paused = false;
  fail(r, code, error);
}

void run_until(Request* r, Want want) {
  Session* s = r->session;
  Clock::time_point last = Clock::now();
  for (;;) {
    int running = 0;
    if (curl_multi_perform(s->multi, &running) != CURLM_OK) {
      abort_transfer(r, CURLE_FAILED_INIT, EIO);
      return;
    }
    collect_done(s);
    if (r->response.redirect && !r->done) {
      // Its body is read only as far as it has arrived: then the connection can be kept.
      take_arrived(r);
      if (r->response.redirect && !r->done) follow(r);
      continue;
    }
    if (r->done || r->pos < r->len || (want == Want::Headers && r->response.final_headers)) return;
    Clock::time_point now = Clock::now();
    if (r->activity) {
      r->activity = false;
      last = now;
    }
    int wait_ms = IdleWaitMs;
    if (r->response.connected && r->receive_ms != NoTimeout && r->receive_ms != 0) {
      auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
      if (idle >= static_cast<long long>(r->receive_ms)) {
        abort_transfer(r, CURLE_OPERATION_TIMEDOUT, ETIMEDOUT);
        return;
      }
      wait_ms = static_cast<int>(std::min<long long>(wait_ms, r->receive_ms - idle));
    }
    int ready = 0;
    if (curl_multi_poll(s->multi, nullptr, 0, wait_ms, &ready) != CURLM_OK) {
      abort_transfer(r, CURLE_FAILED_INIT, EIO);
      return;
    }
    if (ready > 0) r->activity = true;  // a byte, even of a header line not yet complete
  }
}

void drain(Request* r) {
  r->discard = true;
  if (r->paused) {
    r->paused = false;
    curl_easy_pause(r->easy, CURLPAUSE_CONT);
  }
  take_arrived(r);
}

std::unique_ptr<Request> new_request(Session* s) {
  auto r = std::make_unique<Request>();
  r->easy = curl_easy_init();
  if (r->easy == nullptr) return nullptr;
  r->buffer = std::make_unique<char[]>(BufferCapacity);
  r->capacity = BufferCapacity;
  CURL* e = r->easy;
  Request* self = r.get();
  bool ok = curl_easy_setopt(e, CURLOPT_PRIVATE, self) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, on_body) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_WRITEDATA, self) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, on_header) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HEADERDATA, self) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, on_connected) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_PREREQDATA, self) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) ==
                CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HTTP09_ALLOWED, 1L) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_SHARE, s->cookies) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_COOKIEFILE, "") == CURLE_OK;  // no file: memory only
  if (ok && s->has_agent) ok = curl_easy_setopt(e, CURLOPT_USERAGENT, s->agent.c_str()) == CURLE_OK;
  // Both are always set, so that curl reads none of the proxy variables itself.
  if (ok)
    ok = curl_easy_setopt(e, CURLOPT_PROXY, s->proxy.c_str()) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_NOPROXY, s->no_proxy.c_str()) == CURLE_OK;
  if (ok && s->proxy_port != 0)
    ok = curl_easy_setopt(e, CURLOPT_PROXYPORT, s->proxy_port) == CURLE_OK;
  return ok ? std::move(r) : nullptr;
}
