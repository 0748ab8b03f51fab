#include "platform/reply_rules.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

bool is_space(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

// Whether a Location value names a URL the layer follows. Other schemes (ftp:, mailto:, ...) are
// handed back with their response.
bool followable(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  size_t start = i;
  if (i == value.size() || value[i] == '\r' || value[i] == '\n') return false;  // empty
  while (i < value.size() && (isalnum(static_cast<unsigned char>(value[i])) || value[i] == '+' ||
                              value[i] == '-' || value[i] == '.'))
    ++i;
  if (i == value.size() || value[i] != ':' || !isalpha(static_cast<unsigned char>(value[start])))
    return true;  // no scheme: relative
  size_t scheme = i - start;
  return (scheme == 4 && strncasecmp(value.data() + start, "http", 4) == 0) ||
         (scheme == 5 && strncasecmp(value.data() + start, "https", 5) == 0);
}

}  // namespace

HeaderLine read_header_line(const char* data, size_t length) {
  HeaderLine line;
  if (length >= 5 && memcmp(data, "HTTP/", 5) == 0) {
    line.kind = HeaderKind::Status;
    size_t i = 5;
    while (i < length && data[i] != ' ') ++i;
    while (i < length && data[i] == ' ') ++i;
    for (int digits = 0; i < length && digits < 3 && data[i] >= '0' && data[i] <= '9'; ++digits)
      line.status = line.status * 10 + (data[i++] - '0');
  } else if (length >= 9 && strncasecmp(data, "location:", 9) == 0) {
    line.kind = HeaderKind::Location;
    size_t start = 9, end = length;
    while (start < end && is_space(data[start])) ++start;
    while (end > start && is_space(data[end - 1])) --end;
    line.value = std::string_view(data + start, end - start);
  } else if (length > 0 && (data[0] == '\r' || data[0] == '\n')) {
    line.kind = HeaderKind::End;
  }
  return line;
}

bool followed(long status, std::string_view location) {
  return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
         followable(location);
}

int errno_for(CURLcode code, long os_errno, bool connected) {
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
      return connected ? EPROTO : EINVAL;
    case CURLE_URL_MALFORMAT:
      return EINVAL;
    default:
      return EIO;
  }
}
