#include "platform/reply_rules.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

TEST(ReplyRules, ReadsHeaderLines) {
  struct Case {
    std::string line;
    HeaderKind kind;
    long status;
    std::string value;
  };
  const Case cases[] = {
      {"HTTP/1.1 307 x\r\n", HeaderKind::Status, 307, ""},
      {"HTTP/1.0  200\r\n", HeaderKind::Status, 200, ""},
      {"HTTP/1.1 2000 OK\r\n", HeaderKind::Status, 200, ""},  // three digits at most
      {"HTTP/1.1 20x\r\n", HeaderKind::Status, 20, ""},
      {"HTTP/1.1\r\n", HeaderKind::Status, 0, ""},
      {"http/1.1 200 OK\r\n", HeaderKind::Other, 0, ""},
      {"Location: http://h/x\r\n", HeaderKind::Location, 0, "http://h/x"},
      {"LOCATION:\t /a b \t\r\n", HeaderKind::Location, 0, "/a b"},
      {"location:\r\n", HeaderKind::Location, 0, ""},
      {"Locations: /x\r\n", HeaderKind::Other, 0, ""},
      {"\r\n", HeaderKind::End, 0, ""},
      {"\n", HeaderKind::End, 0, ""},
      {" Location: /x\r\n", HeaderKind::Other, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    HeaderLine line = read_header_line(c.line.data(), c.line.size());
    EXPECT_EQ(line.kind, c.kind);
    EXPECT_EQ(line.status, c.status);
    EXPECT_EQ(std::string(line.value), c.value);
  }
}

TEST(ReplyRules, FollowsRedirectsToHttpOnly) {
  struct Case {
    long status;
    std::string location;
    bool followed;
  };
  const Case cases[] = {
      {302, "HTTPS://h/x", true}, {302, "Http://h/x", true},    {302, "/moved/1300.html", true},
      {302, "1300.html", true},   {302, "a/b:c", true},         {302, "1x:y", true},
      {302, " \thttp://h", true}, {302, "ftp://h/x", false},    {302, "https:", true},
      {302, "httpx://h", false},  {302, "javascript:x", false}, {302, "", false},
      {302, " \t", false},        {200, "/moved", false},       {309, "/moved", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.location);
    EXPECT_EQ(followed(c.status, c.location), c.followed);
  }
}

TEST(ReplyRules, MapsCurlResultsToErrno) {
  struct Case {
    CURLcode code;
    long os_errno;
    bool connected;
    int expected;
  };
  const Case cases[] = {
      {CURLE_COULDNT_RESOLVE_HOST, 0, false, EHOSTUNREACH},
      {CURLE_COULDNT_RESOLVE_PROXY, 0, false, EHOSTUNREACH},
      {CURLE_COULDNT_CONNECT, 0, false, ECONNREFUSED},
      {CURLE_COULDNT_CONNECT, ENETUNREACH, false, ENETUNREACH},
      {CURLE_SEND_ERROR, 0, true, ECONNRESET},
      {CURLE_SEND_ERROR, EPIPE, true, ECONNRESET},
      {CURLE_RECV_ERROR, 0, true, EIO},
      {CURLE_RECV_ERROR, ECONNRESET, true, ECONNRESET},
      {CURLE_UNSUPPORTED_PROTOCOL, 0, true, EPROTO},
      {CURLE_UNSUPPORTED_PROTOCOL, 0, false, EINVAL},
      {CURLE_OUT_OF_MEMORY, 0, true, EPROTO},
      {CURLE_WEIRD_SERVER_REPLY, 0, true, EPROTO},
      {CURLE_SSL_CONNECT_ERROR, 0, true, EIO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(curl_easy_strerror(c.code)) + ", os errno " +
                 std::to_string(c.os_errno));
    EXPECT_EQ(errno_for(c.code, c.os_errno, c.connected), c.expected);
  }
}

}  // namespace
