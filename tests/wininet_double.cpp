#include "wininet_double.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace wininet_double {
namespace {

struct Request {
  Response response;
  size_t offset = 0;
  size_t read_index = 0;
};

struct State {
  std::function<Response(const std::string&)> responder;
  bool session_fails = false;
  Calls calls;
  std::vector<std::unique_ptr<Request>> requests;
};

State& state() {
  static State s;
  return s;
}

int session_marker;

}  // namespace

void reset(std::function<Response(const std::string& url)> responder, bool session_fails) {
  state() = State{};
  state().responder = std::move(responder);
  state().session_fails = session_fails;
}

std::function<Response(const std::string&)> always(Response response) {
  return [response](const std::string&) { return response; };
}

const Calls& calls() { return state().calls; }

}  // namespace wininet_double

using namespace wininet_double;

HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR, LPCSTR, DWORD) {
  State& s = state();
  s.calls.agent = agent ? agent : "";
  s.calls.access_type = access_type;
  if (s.session_fails) {
    report_error(12163);  // disconnected
    return nullptr;
  }
  ++s.calls.sessions_opened;
  return &session_marker;
}

HINTERNET WINAPI InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR, DWORD, DWORD flags,
                                  DWORD_PTR) {
  State& s = state();
  s.calls.urls.push_back(url);
  s.calls.flags.push_back(flags);
  if (session != &session_marker) return nullptr;
  Response response = s.responder ? s.responder(url) : Response{};
  if (response.open_fails) {
    report_error(response.open_error);
    return nullptr;
  }
  s.requests.push_back(std::make_unique<Request>());
  s.requests.back()->response = std::move(response);
  ++s.calls.requests_open;
  return s.requests.back().get();
}

BOOL WINAPI InternetReadFile(HINTERNET handle, LPVOID buffer, DWORD to_read, LPDWORD read) {
  *read = 0;
  State& s = state();
  ++s.calls.reads;
  auto it = std::find_if(s.requests.begin(), s.requests.end(),
                         [handle](const auto& r) { return r.get() == handle; });
  if (it == s.requests.end()) return FALSE;
  Request& r = **it;
  const std::vector<size_t>& sizes = r.response.read_sizes;
  size_t limit = to_read;
  if (!sizes.empty()) limit = std::min(limit, sizes[std::min(r.read_index, sizes.size() - 1)]);
  ++r.read_index;
  size_t n = std::min(limit, r.response.body.size() - r.offset);
  memcpy(buffer, r.response.body.data() + r.offset, n);
  r.offset += n;
  *read = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI InternetCloseHandle(HINTERNET handle) {
  State& s = state();
  ++s.calls.handles_closed;
  auto it = std::find_if(s.requests.begin(), s.requests.end(),
                         [handle](const auto& r) { return r.get() == handle; });
  if (it != s.requests.end()) {
    s.requests.erase(it);
    --s.calls.requests_open;
  }
  return TRUE;
}

BOOL WINAPI InternetSetOptionA(HINTERNET, DWORD, LPVOID, DWORD) { return TRUE; }
