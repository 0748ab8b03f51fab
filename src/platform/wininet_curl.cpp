// The WinINet operations over libcurl: the session and request handles and the calls on them.
// One connection serves the requests of a session in turn; a closed request's easy handle and
// buffer serve the next.

#include "platform/wininet_curl.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

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

long curl_timeout_ms(DWORD ms) {
  // curl has no unlimited connect timeout: 0 selects its default.
  return ms == NoTimeout ? 0L : static_cast<long>(std::min<DWORD>(ms, 0x7FFFFFFF));
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
    if (!r->done) {
      r->done = true;
      r->result = CURLE_ABORTED_BY_CALLBACK;
      r->error = EBADF;
    }
  }
  s->open.clear();
  s->spare.reset();
  curl_multi_cleanup(s->multi);
  curl_share_cleanup(s->cookies);
  s->tag = Tag::Free;
  delete s;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR, LPCSTR, DWORD) {
  if (access_type != INTERNET_OPEN_TYPE_PRECONFIG && access_type != INTERNET_OPEN_TYPE_DIRECT) {
    errno = EINVAL;
    return nullptr;
  }
  if (!global_init()) {
    errno = EIO;
    return nullptr;
  }
  auto s = std::make_unique<Session>();
  if (agent != nullptr && *agent != '\0') {
    s->agent = agent;
    s->has_agent = true;
  }
  if (access_type == INTERNET_OPEN_TYPE_PRECONFIG) {
    // The system's settings: http_proxy, and the hosts reached without it in no_proxy.
    const char* proxy_variable = getenv("http_proxy");
    const char* no_proxy_variable = getenv("no_proxy");
    if (no_proxy_variable == nullptr) no_proxy_variable = getenv("NO_PROXY");
    s->proxy = proxy_variable != nullptr ? proxy_variable : "";
    s->no_proxy = no_proxy_variable != nullptr ? no_proxy_variable : "";
    // An http proxy named without a port is on port 80, as WinINet and most clients take it.
    size_t scheme = s->proxy.find("://");
    if (scheme == std::string::npos ||
        (scheme == 4 && strncasecmp(s->proxy.c_str(), "http", 4) == 0))
      s->proxy_port = 80;
  }
  s->multi = curl_multi_init();
  s->cookies = curl_share_init();
  if (s->multi == nullptr || s->cookies == nullptr ||
      curl_share_setopt(s->cookies, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
    curl_multi_cleanup(s->multi);
    curl_share_cleanup(s->cookies);
    errno = ENOMEM;
    return nullptr;
  }
  return static_cast<Handle*>(s.release());
}

HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headers_length,
                           DWORD, DWORD_PTR) {
  Session* s = as_session(session);
  // Extra request headers are not sent: a call that passes some is refused.
  if (s == nullptr || url == nullptr || (headers != nullptr && headers_length != 0)) {
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
  r->paused = r->done = r->activity = r->discard = r->resent = false;
  r->redirects = 0;
  r->response = Response{};
  r->result = CURLE_OK;
  r->error = 0;
  r->receive_ms = s->receive_ms;
  if (curl_easy_setopt(r->easy, CURLOPT_URL, url) != CURLE_OK ||
      curl_easy_setopt(r->easy, CURLOPT_FRESH_CONNECT, 0L) != CURLE_OK ||
      curl_easy_setopt(r->easy, CURLOPT_CONNECTTIMEOUT_MS, curl_timeout_ms(s->connect_ms)) !=
          CURLE_OK ||
      curl_multi_add_handle(s->multi, r->easy) != CURLM_OK) {
    close_request(r.release());
    errno = ENOMEM;
    return nullptr;
  }
  r->in_multi = true;
  s->open.push_back(r.get());
  run_until(r.get(), Want::Headers);
  if (r->done && r->result != CURLE_OK && !r->response.final_headers) {
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
