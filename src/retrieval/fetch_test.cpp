#include "retrieval/fetch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "profile_base_url.h"
#include "temp_dir.h"
#include "wininet_double.h"

namespace {

using wininet_double::Response;

class FetchTest : public ::testing::Test {
 protected:
  int32_t fetch(int code, const Response& response) {
    wininet_double::reset(wininet_double::always(response));
    HINTERNET session = InternetOpenA("t", 0, nullptr, nullptr, 0);
    reset_period_table(&table_);
    name_.text[0] = '\0';
    return fetch_company(code, session, &table_, &name_);
  }
  std::string copy(int code) { return read_file(dir_.path() / (std::to_string(code) + ".html")); }

  TempWorkingDir dir_;
  PeriodTable table_;
  CompanyName name_;
};

TEST_F(FetchTest, RequestsThePageUrlOnceWithDefaultFlags) {
  Response response;
  response.body = "<html>\n";
  EXPECT_EQ(fetch(1300, response), 0);
  const auto& calls = wininet_double::calls();
  ASSERT_EQ(calls.urls.size(), 1u);
  EXPECT_EQ(calls.urls[0], std::string(ProfileBaseUrl) + "1300.html");
  EXPECT_EQ(calls.flags[0], 0u);
  EXPECT_EQ(calls.requests_open, 0) << "the request is closed";
  EXPECT_EQ(calls.handles_closed, 1);
}

TEST_F(FetchTest, CopyKeepsEveryByteButLineEnds) {
  Response response;
  response.body = std::string("a\r\nb\0c\rd\n\xA1\xCA", 11) + std::string(600, 'x') + "\ntail";
  response.read_sizes = {7, 1, 300};
  EXPECT_EQ(fetch(9999, response), 0);
  EXPECT_EQ(copy(9999), std::string("ab\0cd\xA1\xCA", 7) + std::string(600, 'x') + "tail");
}

TEST_F(FetchTest, EmptyResponseGivesZeroAndAnEmptyCopy) {
  EXPECT_EQ(fetch(1301, Response{}), 0);
  ASSERT_TRUE(std::filesystem::exists("1301.html"));
  EXPECT_EQ(copy(1301), "");
}

TEST_F(FetchTest, FailedOpenReportsOnceAndLeavesAnEmptyCopy) {
  Response response;
  response.open_fails = true;
  response.open_error = 12029;  // cannot connect
  response.body = "never read";
  testing::internal::CaptureStderr();
  EXPECT_EQ(fetch(4321, response), -3);
  std::string err = testing::internal::GetCapturedStderr();
  // URLオープンエラー, a line end, then perror's ": " and the cause.
  EXPECT_EQ(err, "URL\x83\x49\x81\x5B\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5B\n: " +
                     std::string(strerror(ENXIO)) + "\n");
  ASSERT_TRUE(std::filesystem::exists("4321.html"));
  EXPECT_EQ(copy(4321), "");
  EXPECT_EQ(wininet_double::calls().reads, 0);
}

TEST_F(FetchTest, CopyThatCannotBeCreatedMakesNoRequest) {
  std::filesystem::create_directory("1500.html");
  Response response;
  response.body = "page\n";
  testing::internal::CaptureStderr();
  EXPECT_EQ(fetch(1500, response), -4);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(wininet_double::calls().urls.empty());
}

}  // namespace
