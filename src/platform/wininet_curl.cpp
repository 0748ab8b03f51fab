// The WinINet operations over libcurl. A session is one curl multi handle, whose connection
// cache and name cache outlive its requests, so one connection serves the requests of a
// session in turn. A request is one easy handle in that multi handle; its body streams through a
// bounded buffer: the write callback pauses the transfer when the buffer is full and a read
// resumes it when the buffer is empty. A closed request's easy handle and buffer serve the next.
// Redirects are followed here rather than by curl: as soon as their headers are in, and only to
// http and https (one to another scheme is handed back as the response it is).

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wininet.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class Tag : uint32_t { Session = 0x4b534553, Request = 0x4b524551, Free = 0x4b465245 };

constexpr DWORD DefaultTimeoutMs = 60000;
constexpr DWORD NoTimeout = 0xFFFFFFFF;
constexpr long MaxRedirects = 5;
constexpr size_t BufferCapacity = 4 * CURL_MAX_WRITE_SIZE;
constexpr size_t DrainBudget = 256 * 1024;  // body bytes worth reading to keep a connection
constexpr int IdleWaitMs = 1000;            // longest single wait; curl's own timers end it sooner

struct Handle {
  Tag tag;
};

struct Session;

struct Request : Handle {
  Session* session = nullptr;  // null once the session is closed
  CURL* easy = nullptr;
  curl_slist* extra_headers = nullptr;
  std::unique_ptr<char[]> buffer;
  size_t capacity = 0;
  size_t pos = 0;  // next unread byte in buffer
  size_t len = 0;  // bytes held in buffer
  bool in_multi = false;
  bool paused = false;         // the write callback refused a chunk; curl holds it
  bool done = false;           // the transfer ended, see result
  bool final_headers = false;  // the headers of the response that is delivered have arrived
  bool connected = false;      // a connection is set up; the receive timeout (0: none) applies
  bool activity = false;       // something arrived since the wait loop last looked
  bool discard = false;        // closing: body bytes are thrown away
  size_t discarded = 0;
  bool headers_seen = false;  // the current response has a status line; without one it is HTTP/0.9
  bool first_line_skipped = false;  // of an HTTP/0.9 reply, whose first line WinINet drops
  long status = 0;                  // status of the response whose headers are arriving
  std::string location;             // that response's first Location value, trimmed
  bool redirect = false;            // it is a redirect that is followed
  bool replied = false;             // a byte of the current response has been seen
  bool resent = false;              // the request was sent again on a new connection
  long redirects = 0;
  CURLcode result = CURLE_OK;
  int error = 0;  // errno for a failed transfer
  DWORD receive_ms = DefaultTimeoutMs;

  Request() : Handle{Tag::Request} {}
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  ~Request() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    curl_slist_free_all(extra_headers);
  }
};

struct Session : Handle {
  CURLM* multi = nullptr;
  std::string agent;
  bool has_agent = false;
  DWORD access_type = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string proxy;     // curl form; empty: none
  std::string no_proxy;  // curl form
  DWORD connect_ms = DefaultTimeoutMs;
  DWORD receive_ms = DefaultTimeoutMs;
  std::vector<Request*> open;      // requests not yet closed
  std::unique_ptr<Request> spare;  // a closed request kept for the next one

  Session() : Handle{Tag::Session} {}
};

Session* as_session(HINTERNET h) {
  auto* handle = static_cast<Handle*>(h);
  return handle != nullptr && handle->tag == Tag::Session ? static_cast<Session*>(handle) : nullptr;
}

Request* as_request(HINTERNET h) {
  auto* handle = static_cast<Handle*>(h);
  return handle != nullptr && handle->tag == Tag::Request ? static_cast<Request*>(handle) : nullptr;
}

bool global_init() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

// The errno for a transfer of r that failed with code.
int errno_for(const Request* r, CURLcode code) {
  long os_errno = 0;
  curl_easy_getinfo(r->easy, CURLINFO_OS_ERRNO, &os_errno);
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return EHOSTUNREACH;
    case CURLE_COULDNT_CONNECT:
      return os_errno != 0 ? static_cast<int>(os_errno) : ECONNREFUSED;
    case CURLE_OPERATION_TIMEDOUT:
      return ETIMEDOUT;
    case CURLE_GOT_NOTHING:
      return ECONNRESET;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      if (os_errno == 0) return code == CURLE_SEND_ERROR ? ECONNRESET : EIO;
      return os_errno == EPIPE ? ECONNRESET : static_cast<int>(os_errno);
    case CURLE_TOO_MANY_REDIRECTS:
      return ELOOP;
    case CURLE_OUT_OF_MEMORY:  // during a transfer: a header line over curl's limit
    case CURLE_WEIRD_SERVER_REPLY:
      return EPROTO;
    case CURLE_UNSUPPORTED_PROTOCOL:  // once connected: a status line curl cannot read
      return r->connected ? EPROTO : EINVAL;
    case CURLE_URL_MALFORMAT:
      return EINVAL;
    default:
      return EIO;
  }
}

long curl_timeout_ms(DWORD ms) {
  // curl has no unlimited connect timeout: 0 selects its default.
  return ms == NoTimeout ? 0L : static_cast<long>(std::min<DWORD>(ms, 0x7FFFFFFF));
}

// --- callbacks -------------------------------------------------------------------------------

// Whether a Location value names a URL the layer follows: an http or https one, or one relative
// to the current URL. Other schemes (ftp:, mailto:, ...) are handed back with their response.
bool followable(const char* value, size_t length) {
  size_t i = 0;
  while (i < length && (value[i] == ' ' || value[i] == '\t')) ++i;
  size_t start = i;
  if (i == length || value[i] == '\r' || value[i] == '\n') return false;  // empty
  while (i < length && (isalnum(static_cast<unsigned char>(value[i])) || value[i] == '+' ||
                        value[i] == '-' || value[i] == '.'))
    ++i;
  if (i == length || value[i] != ':' || !isalpha(static_cast<unsigned char>(value[start])))
    return true;  // no scheme: relative
  size_t scheme = i - start;
  return (scheme == 4 && strncasecmp(value + start, "http", 4) == 0) ||
         (scheme == 5 && strncasecmp(value + start, "https", 5) == 0);
}

size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  size_t length = size * count;
  r->activity = r->replied = true;
  r->headers_seen = true;
  if (r->final_headers) return length;  // trailers of a chunked body
  if (length >= 5 && memcmp(data, "HTTP/", 5) == 0) {
    size_t i = 5;
    while (i < length && data[i] != ' ') ++i;
    while (i < length && data[i] == ' ') ++i;
    long status = 0;
    for (int digits = 0; i < length && digits < 3 && data[i] >= '0' && data[i] <= '9'; ++digits)
      status = status * 10 + (data[i++] - '0');
    r->status = status;
    r->location.clear();
  } else if (length >= 9 && strncasecmp(data, "location:", 9) == 0 && r->location.empty()) {
    size_t start = 9, end = length;
    while (start < end && isspace(static_cast<unsigned char>(data[start]))) ++start;
    while (end > start && isspace(static_cast<unsigned char>(data[end - 1]))) --end;
    r->location.assign(data + start, end - start);
  } else if (length > 0 && (data[0] == '\r' || data[0] == '\n')) {
    // End of one response's headers. Interim (1xx) responses and the redirects that are
    // followed are not the response the caller gets.
    long s = r->status;
    r->redirect = (s == 301 || s == 302 || s == 303 || s == 307 || s == 308) &&
                  followable(r->location.data(), r->location.size());
    if (r->status >= 200 && !r->redirect) r->final_headers = true;
    if (r->redirect) r->connected = false;  // the next hop may need a connection of its own
  }
  return length;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  size_t length = size * count;
  r->activity = r->replied = true;
  r->final_headers = !r->redirect;
  if (r->redirect || r->discard) {
    r->discarded += length;
    return length;
  }
  if (!r->headers_seen && !r->first_line_skipped) {
    // Nothing has been kept yet, so the rest always fits below.
    auto* lf = static_cast<char*>(memchr(data, '\n', length));
    if (lf == nullptr) return length;
    r->first_line_skipped = true;
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
  r->connected = true;
  r->activity = true;
  return CURL_PREREQFUNC_OK;
}

// --- transfers -------------------------------------------------------------------------------

void fail(Request* r, CURLcode code, int error) {
  r->done = true;
  r->result = code;
  r->error = error;
}

// Ends a transfer that curl is still running.
void abort_transfer(Request* r, CURLcode code, int error) {
  if (r->in_multi) {
    curl_multi_remove_handle(r->session->multi, r->easy);
    r->in_multi = false;
  }
  r->paused = false;
  fail(r, code, error);
}

void start_response(Request* r) {
  r->final_headers = r->connected = r->headers_seen = r->first_line_skipped = false;
  r->status = 0;
  r->redirect = r->replied = false;
  r->location.clear();
  r->discarded = 0;
}

// Starts the transfer again, with url (or the same one) and on a new connection if asked. A
// transfer still running is ended, and curl closes its connection.
void restart(Request* r, const char* url, bool new_connection) {
  start_response(r);
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
            curl_url_set(u, CURLUPART_URL, r->location.c_str(),
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
  if (r->resent || r->replied ||
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
    if (r->redirect)
      follow(r);  // whether its body ended well or not
    else if (code == CURLE_OK || !resend(r, code))
      fail(r, code, code == CURLE_OK ? 0 : errno_for(r, code));
  }
}

enum class Want { Headers, Data };

// Runs the session's transfers on what has already arrived, until r ends or more would have to
// be waited for.
void take_arrived(Request* r) {
  Session* s = r->session;
  for (int round = 0; round < 4 && !r->done && r->discarded <= DrainBudget; ++round) {
    int running = 0;
    if (curl_multi_perform(s->multi, &running) != CURLM_OK) return;
    collect_done(s);
    if (r->done) return;
    int ready = 0;
    if (curl_multi_poll(s->multi, nullptr, 0, 0, &ready) != CURLM_OK || ready == 0) return;
  }
}

// Runs the session's transfers until r has what is wanted, has ended, or has been silent for
// its receive timeout after its connection was set up (before that, curl's connect timeout
// rules).
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
    if (r->redirect && !r->done) {
      // Its body is read only as far as it has arrived: then the connection can be kept.
      take_arrived(r);
      if (r->redirect && !r->done) follow(r);
      continue;
    }
    if (r->done || r->pos < r->len || (want == Want::Headers && r->final_headers)) return;
    Clock::time_point now = Clock::now();
    if (r->activity) {
      r->activity = false;
      last = now;
    }
    int wait_ms = IdleWaitMs;
    if (r->connected && r->receive_ms != NoTimeout && r->receive_ms != 0) {
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

// Reads what of the rest of the body has already arrived, so that a complete response leaves
// its connection reusable; gives up at once when more would have to be waited for.
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
            curl_easy_setopt(e, CURLOPT_HTTP09_ALLOWED, 1L) == CURLE_OK;
  if (ok && s->has_agent) ok = curl_easy_setopt(e, CURLOPT_USERAGENT, s->agent.c_str()) == CURLE_OK;
  // Both are always set, so that curl reads none of the proxy variables itself.
  if (ok)
    ok = curl_easy_setopt(e, CURLOPT_PROXY, s->proxy.c_str()) == CURLE_OK &&
         curl_easy_setopt(e, CURLOPT_NOPROXY, s->no_proxy.c_str()) == CURLE_OK;
  return ok ? std::move(r) : nullptr;
}

bool set_extra_headers(Request* r, LPCSTR headers, DWORD length) {
  curl_slist_free_all(r->extra_headers);
  r->extra_headers = nullptr;
  if (headers != nullptr && length != 0) {
    std::string text = length == 0xFFFFFFFF ? std::string(headers) : std::string(headers, length);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty()) {
        curl_slist* list = curl_slist_append(r->extra_headers, line.c_str());
        if (list == nullptr) return false;
        r->extra_headers = list;
      }
      start = end + 1;
    }
  }
  return curl_easy_setopt(r->easy, CURLOPT_HTTPHEADER, r->extra_headers) == CURLE_OK;
}

void close_request(Request* r) {
  Session* s = r->session;
  if (s != nullptr) {
    if (r->in_multi) {
      if (!r->done) drain(r);
      curl_multi_remove_handle(s->multi, r->easy);
      r->in_multi = false;
    }
    s->open.erase(std::remove(s->open.begin(), s->open.end(), r), s->open.end());
    if (s->spare == nullptr && r->easy != nullptr) {
      r->tag = Tag::Free;
      s->spare.reset(r);
      return;
    }
  }
  r->tag = Tag::Free;
  delete r;
}

void close_session(Session* s) {
  for (Request* r : s->open) {
    // The request handle stays valid until it is closed, but has nothing left to read.
    if (r->in_multi) curl_multi_remove_handle(s->multi, r->easy);
    r->in_multi = false;
    curl_easy_cleanup(r->easy);
    r->easy = nullptr;
    r->buffer.reset();
    r->capacity = r->pos = r->len = 0;
    r->paused = false;
    r->session = nullptr;
    if (!r->done) fail(r, CURLE_ABORTED_BY_CALLBACK, EBADF);
  }
  s->open.clear();
  s->spare.reset();
  curl_multi_cleanup(s->multi);
  s->tag = Tag::Free;
  delete s;
}

// The entry for http of a proxy list ("host:port", "http=host:port https=...") in curl's form.
std::string curl_proxy(const std::string& list) {
  std::string first, http;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find_first_of("; \t", start);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    size_t eq = entry.find('=');
    if (eq == std::string::npos) {
      if (first.empty()) first = entry;
    } else if (strncasecmp(entry.c_str(), "http=", 5) == 0 && http.empty()) {
      http = entry.substr(eq + 1);
    }
  }
  std::string proxy = http.empty() ? first : http;
  if (!proxy.empty() && proxy.find("://") == std::string::npos) proxy = "http://" + proxy;
  return proxy;
}

// A bypass list ("*.example.com;<local>") as curl's comma-separated host list.
std::string curl_no_proxy(const std::string& list) {
  std::string out;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find_first_of("; \t,", start);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    if (entry == "<local>") {
      entry = "localhost,127.0.0.1,::1";
    } else if (entry != "*") {
      if (entry.rfind("*.", 0) == 0) entry.erase(0, 2);
      if (entry.find('*') != std::string::npos) continue;  // patterns curl cannot express
    }
    if (!out.empty()) out += ',';
    out += entry;
  }
  return out;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR proxy, LPCSTR proxy_bypass, DWORD) {
  if (access_type != INTERNET_OPEN_TYPE_PRECONFIG && access_type != INTERNET_OPEN_TYPE_DIRECT &&
      access_type != INTERNET_OPEN_TYPE_PROXY) {
    errno = EINVAL;
    return nullptr;
  }
  if (!global_init()) {
    errno = EIO;
    return nullptr;
  }
  auto s = std::make_unique<Session>();
  s->access_type = access_type;
  if (agent != nullptr && *agent != '\0') {
    s->agent = agent;
    s->has_agent = true;
  }
  if (access_type == INTERNET_OPEN_TYPE_PROXY) {
    s->proxy = curl_proxy(proxy != nullptr ? proxy : "");
    if (s->proxy.empty()) {
      errno = EINVAL;
      return nullptr;
    }
    s->no_proxy = curl_no_proxy(proxy_bypass != nullptr ? proxy_bypass : "");
  } else if (access_type == INTERNET_OPEN_TYPE_PRECONFIG) {
    // The system's settings: http_proxy, and the hosts reached without it in no_proxy.
    const char* proxy_variable = getenv("http_proxy");
    const char* no_proxy_variable = getenv("no_proxy");
    if (no_proxy_variable == nullptr) no_proxy_variable = getenv("NO_PROXY");
    s->proxy = proxy_variable != nullptr ? proxy_variable : "";
    s->no_proxy = no_proxy_variable != nullptr ? no_proxy_variable : "";
  }
  s->multi = curl_multi_init();
  if (s->multi == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  return static_cast<Handle*>(s.release());
}

HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headers_length,
                           DWORD, DWORD_PTR) {
  Session* s = as_session(session);
  if (s == nullptr || url == nullptr) {
    errno = s == nullptr ? EBADF : EINVAL;
    return nullptr;
  }
  std::unique_ptr<Request> r = std::move(s->spare);
  if (r == nullptr) r = new_request(s);
  if (r == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  r->tag = Tag::Request;
  r->session = s;
  r->pos = r->len = 0;
  r->paused = r->done = r->activity = r->discard = false;
  start_response(r.get());
  r->redirects = 0;
  r->resent = false;
  r->result = CURLE_OK;
  r->error = 0;
  r->receive_ms = s->receive_ms;
  if (curl_easy_setopt(r->easy, CURLOPT_URL, url) != CURLE_OK ||
      curl_easy_setopt(r->easy, CURLOPT_FRESH_CONNECT, 0L) != CURLE_OK ||
      curl_easy_setopt(r->easy, CURLOPT_CONNECTTIMEOUT_MS, curl_timeout_ms(s->connect_ms)) !=
          CURLE_OK ||
      !set_extra_headers(r.get(), headers, headers_length) ||
      curl_multi_add_handle(s->multi, r->easy) != CURLM_OK) {
    close_request(r.release());
    errno = ENOMEM;
    return nullptr;
  }
  r->in_multi = true;
  s->open.push_back(r.get());
  run_until(r.get(), Want::Headers);
  if (r->done && r->result != CURLE_OK && !r->final_headers) {
    int error = r->error;
    close_request(r.release());
    errno = error;
    return nullptr;
  }
  return static_cast<Handle*>(r.release());
}

BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD to_read, LPDWORD read) {
  if (read == nullptr) {
    errno = EINVAL;
    return FALSE;
  }
  *read = 0;
  Request* r = as_request(request);
  if (r == nullptr) {
    errno = EBADF;
    return FALSE;
  }
  if (to_read == 0) return TRUE;
  if (buffer == nullptr) {
    errno = EINVAL;
    return FALSE;
  }
  for (;;) {
    if (r->pos < r->len) {
      size_t n = std::min<size_t>(to_read, r->len - r->pos);
      memcpy(buffer, r->buffer.get() + r->pos, n);
      r->pos += n;
      *read = static_cast<DWORD>(n);
      return TRUE;
    }
    if (r->paused) {
      // The buffer is empty: take the piece curl held back, and let it go on.
      r->pos = r->len = 0;
      r->paused = false;
      if (curl_easy_pause(r->easy, CURLPAUSE_CONT) != CURLE_OK)
        abort_transfer(r, CURLE_RECV_ERROR, EIO);
      continue;
    }
    if (r->done || r->session == nullptr) {
      if (r->result == CURLE_OK) return TRUE;
      errno = r->error;
      return FALSE;
    }
    run_until(r, Want::Data);
  }
}

BOOL InternetCloseHandle(HINTERNET handle) {
  if (Request* r = as_request(handle)) {
    close_request(r);
    return TRUE;
  }
  if (Session* s = as_session(handle)) {
    close_session(s);
    return TRUE;
  }
  errno = EBADF;
  return FALSE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
  if (option != INTERNET_OPTION_CONNECT_TIMEOUT && option != INTERNET_OPTION_RECEIVE_TIMEOUT) {
    errno = EINVAL;
    return FALSE;
  }
  if (buffer == nullptr || length < sizeof(DWORD)) {
    errno = EINVAL;
    return FALSE;
  }
  DWORD ms = 0;
  memcpy(&ms, buffer, sizeof ms);
  if (Session* s = as_session(handle)) {
    (option == INTERNET_OPTION_CONNECT_TIMEOUT ? s->connect_ms : s->receive_ms) = ms;
    return TRUE;
  }
  if (Request* r = as_request(handle)) {
    if (option == INTERNET_OPTION_RECEIVE_TIMEOUT) {
      r->receive_ms = ms;
    } else if (r->easy != nullptr) {
      curl_easy_setopt(r->easy, CURLOPT_CONNECTTIMEOUT_MS, curl_timeout_ms(ms));
    }
    return TRUE;
  }
  errno = EBADF;
  return FALSE;
}
