#include "run/sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "profile_base_url.h"
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
                     std::string(strerror(ENXIO)) + "\n");
  EXPECT_TRUE(wininet_double::calls().urls.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// A page with a name and a results table of the given columns (EUC-JP).
std::string results_page(const char* name_line, int periods, const char* months, const char* sales,
                         const char* operating_income = nullptr) {
  std::string page = std::string(name_line) + "\n";
  page += "<TABLE WIDTH=\"100%\" BORDER=\"0\" CELLSPACING=\"1\" CELLPADDING=\"2\">\n";
  for (int k = 0; k < periods; ++k)
    page += "<TD BGCOLOR=\"#ffffff\" WIDTH=\"20%\" ALIGN=\"CENTER\">p</TD>\n";
  page += "<TD BGCOLOR=\"#ffffff\" NOWRAP VALIGN=\"TOP\">\n";
  for (int k = 0; k < periods; ++k) {
    page += "<TD BGCOLOR=\"#ffffff\" NOWRAP ALIGN=\"RIGHT\" VALIGN=\"TOP\">\n";
    // 2024年3月, 2024年5月14日, the months, then the sales.
    page += "2024\xC7\xAF\x33\xB7\xEE<BR>\n2024\xC7\xAF\x35\xB7\xEE\x31\x34\xC6\xFC<BR>\n";
    page += std::string(months) + "<BR>\n" + sales + "<BR>\n";
    if (operating_income != nullptr) page += std::string(operating_income) + "<BR>\n";
    page += "</TD>\n";
  }
  return page + "</TABLE>\n";
}

// One sweep for the tests below, since a sweep of every code is slow under Wine: codes 5000 to
// 5002 and 6000 cannot be opened, 7000's copy cannot be created (a folder has its name), 1300 and
// 1301 have results, every other page has no table.
class RunSweepOnce : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempWorkingDir;
    std::filesystem::create_directory(dir->path() / "7000.html");
    Response failing;
    failing.open_fails = true;
    failing.open_error = 12031;  // connection reset
    wininet_double::reset([failing](const std::string& url) {
      Response page;
      for (int code : {5000, 5001, 5002, 6000}) {
        if (url == page_url(code)) return failing;
      }
      if (url == page_url(1300)) {
        // 極東（1300） with three periods.
        page.body = results_page("<TD><FONT size=\"+1\">\xB6\xCB\xC5\xEC\xA1\xCA\x31\xA1\xCB", 3,
                                 "12", "500", "999");
      } else if (url == page_url(1301)) {
        page.body = results_page("<P>no name line</P>", 1, "6", "7");
      } else {
        page.body = "<html>\r\n<body>no table</body>\r\n";
      }
      return page;
    });
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    result = run_sweep();
    err = new std::string(testing::internal::GetCapturedStderr());
    out = new std::string(testing::internal::GetCapturedStdout());
  }
  static void TearDownTestSuite() {
    delete out;
    delete err;
    delete dir;
  }

  static TempWorkingDir* dir;
  static int result;
  static std::string* out;
  static std::string* err;
};

TempWorkingDir* RunSweepOnce::dir = nullptr;
int RunSweepOnce::result = 0;
std::string* RunSweepOnce::out = nullptr;
std::string* RunSweepOnce::err = nullptr;

TEST_F(RunSweepOnce, RequestsEveryCodeOnceInOrderAndReportsTheFailedOnes) {
  EXPECT_EQ(result, SomeCodesFailed);
  std::string failed = "URL\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B";
  std::string reason = failed + "\n: " + strerror(EPIPE) + "\n";
  // 極東 in Shift_JIS is 8B C9 93 8C. Then the closing report: 処理したコード 8700 件、決算のあった
  // 企業 2 社、URLオープンエラー 4 件、ファイル作成エラー 1 件, and the codes of each.
  EXPECT_EQ(*err,
            "1300,\x8B\xC9\x93\x8C,3\n1301,,1\n" + reason + reason + reason + reason +
                "\x8F\x88\x97\x9D\x82\xB5\x82\xBD\x83R\x81[\x83h 8700 \x8C\x8F\x81\x41"
                "\x8C\x88\x8EZ\x82\xCC\x82\xA0\x82\xC1\x82\xBD\x8A\xE9\x8B\xC6 2 \x8E\xD0\x81\x41" +
                failed +
                " 4 \x8C\x8F\x81\x41\x83t\x83@\x83\x43\x83\x8B\x8D\xEC\x90\xAC\x83G\x83\x89"
                "\x81[ 1 \x8C\x8F\n" +
                failed +
                "\x82\xCC\x83R\x81[\x83h: 5000-5002, 6000\n"
                "\x83t\x83@\x83\x43\x83\x8B\x8D\xEC\x90\xAC\x83G\x83\x89\x81[\x82\xCC\x83R\x81["
                "\x83h: 7000\n");

  const auto& calls = wininet_double::calls();
  EXPECT_EQ(calls.agent, "qnv408");
  EXPECT_EQ(calls.access_type, 0u);
  EXPECT_EQ(calls.sessions_opened, 1);
  ASSERT_EQ(calls.urls.size(), 8699u) << "all but 7000, whose copy failed";
  for (int code = FirstCode; code <= LastCode; ++code) {
    ASSERT_EQ(calls.urls[code - FirstCode - (code > 7000)], page_url(code == 7000 ? 7001 : code));
  }
  EXPECT_EQ(calls.requests_open, 0);
  EXPECT_EQ(calls.handles_closed, 8699 - 4 + 1) << "each request and the session, once";
  int copies = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir->path())) {
    (void)entry;
    ++copies;
  }
  EXPECT_EQ(copies, 8700);
  EXPECT_EQ(read_file(dir->path() / "1302.html"), "<html><body>no table</body>");
  EXPECT_EQ(read_file(dir->path() / "5000.html"), "");
}

// Each code starts from an empty name and empty records: a page that does not supply them
// shows nothing of the company before it.
TEST_F(RunSweepOnce, NoCompanyShowsAnotherCompanysData) {
  size_t second = out->find("1301,,1\n");
  ASSERT_NE(second, std::string::npos);
  std::string block = out->substr(second);
  EXPECT_NE(block.find("\n\x8C\x88\x8E\x5A\x8C\x8E\x90\x94,6\n"), std::string::npos) << block;
  EXPECT_NE(block.find("\n\x94\x84\x8F\xE3\x8D\x82,7\n"), std::string::npos) << block;
  // 1301's page has no row 5: zero, not 1300's 999.
  EXPECT_NE(out->find("\n\x89\x63\x8B\xC6\x97\x98\x89\x76,999,999,999\n"), std::string::npos);
  EXPECT_NE(block.find("\n\x89\x63\x8B\xC6\x97\x98\x89\x76,0\n"), std::string::npos) << block;
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 24);
}

}  // namespace
