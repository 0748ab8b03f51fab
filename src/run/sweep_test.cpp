#include "run/sweep.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "profile_url.h"
#include "temp_dir.h"
#include "wininet_double.h"

namespace {

using wininet_double::Response;

std::string page_url(int code) {
  return std::string(ProfileBaseUrl) + std::to_string(code) + ".html";
}

TEST(RunSweep, SessionThatCannotOpenEndsTheRunWithMinusTwo) {
  TempWorkingDir dir;
  wininet_double::reset(wininet_double::always(Response{}), /*session_fails=*/true);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_sweep(), -2);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  // オープンエラー, a line end, then perror's ": " and the cause.
  EXPECT_EQ(err, "\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B\n: " +
                     std::string(strerror(ENETDOWN)) + "\n");
  EXPECT_TRUE(wininet_double::calls().urls.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RunSweep, RequestsEveryCodeOnceInOrder) {
  TempWorkingDir dir;
  Response failing;
  failing.open_fails = true;
  failing.open_errno = ECONNRESET;
  wininet_double::reset([&](const std::string& url) {
    if (url == page_url(5000)) return failing;
    Response page;
    page.body = "<html>\r\n<body>no table</body>\r\n";
    return page;
  });
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_sweep(), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(err, "URL\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B\n: " +
                     std::string(strerror(ECONNRESET)) + "\n");

  const auto& calls = wininet_double::calls();
  EXPECT_EQ(calls.agent, "qnv408");
  EXPECT_EQ(calls.access_type, 0u);
  EXPECT_EQ(calls.sessions_opened, 1);
  ASSERT_EQ(calls.urls.size(), 8700u);
  for (int code = FirstCode; code <= LastCode; ++code) {
    ASSERT_EQ(calls.urls[code - FirstCode], page_url(code));
  }
  EXPECT_EQ(calls.requests_open, 0);
  EXPECT_EQ(calls.handles_closed, 8700 - 1 + 1) << "each request and the session, once";
  int copies = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++copies;
  }
  EXPECT_EQ(copies, 8700);
  EXPECT_EQ(read_file(dir.path() / "1300.html"), "<html><body>no table</body>");
  EXPECT_EQ(read_file(dir.path() / "5000.html"), "");
}

}  // namespace
