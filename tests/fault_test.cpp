// The fetch of one company page through the libcurl layer while the stand-in service misbehaves:
// every fault mode lets the fetch return, leaves in the copy what arrived (without CR and LF),
// keeps memory flat over repeated faults, and lets the next code be fetched normally.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "items/items.h"
#include "platform/wininet.h"
#include "retrieval/fetch.h"
#include "standin_process.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESSAN_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KESSAN_ASAN)
// Freed memory waits in AddressSanitizer's quarantine (256 MB by default) and would count as
// growth; a small quarantine keeps the memory check meaningful.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=1"; }
constexpr long RssGrowthBoundKb = 2048;  // the quarantine's megabyte fills up as well
#else
constexpr long RssGrowthBoundKb = 512;
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string without_line_ends(const std::string& data) {
  std::string out;
  for (char c : data)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Whether the file holds exactly expected, read in pieces so that a large copy costs no memory.
bool file_holds(const fs::path& path, const std::string& expected, size_t* size) {
  std::ifstream in(path, std::ios::binary);
  char piece[65536];
  *size = 0;
  bool same = true;
  while (in.read(piece, sizeof piece) || in.gcount() > 0) {
    const auto n = static_cast<size_t>(in.gcount());
    if (*size + n > expected.size() || memcmp(piece, expected.data() + *size, n) != 0) same = false;
    *size += n;
  }
  return same && *size == expected.size();
}

long rss_kb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

const std::string TableStart =
    "<TABLE WIDTH=\"100%\" BORDER=\"0\" CELLSPACING=\"1\" CELLPADDING=\"2\">";
const std::string HeaderCell = "<TD BGCOLOR=\"#ffffff\" WIDTH=\"20%\" ALIGN=\"CENTER\">";

std::string name_line(const std::string& name, int code) {
  return "<TD><FONT size=\"+1\">" + name + "\xa1\xca" + std::to_string(code) +
         "\xa1\xcb</FONT></TD>";
}

// A page whose table has two header cells and no end: its scan reads every line that arrives
// and ends with 2 once the first kilobyte is in. About 20 KB, CR LF and LF line ends, lines
// longer than 255 bytes, EUC-JP text.
std::string fault_page(int code) {
  std::string page = "<HTML>\r\n" + name_line("FAULT", code) + "\r\n" + TableStart + "\n";
  page += HeaderCell +
          "2024\xc7\xaf"
          "3\xb7\xee\xb4\xfc</TD>\n";
  page += HeaderCell +
          "2023\xc7\xaf"
          "3\xb7\xee\xb4\xfc</TD>\n";
  for (int i = 0; page.size() < 20000; ++i) {
    page += "<P>" + std::to_string(i) + " \xb7\xe8\xbb\xbb</P>";
    if (i % 10 == 0) page += std::string(600, 'x');
    page += i % 3 == 0 ? "\r\n" : "\n";
  }
  return page;
}

// A results page of one period whose last line ends the table: the scan gives 1, and the copy
// is the whole page.
std::string normal_page(int code) {
  return "<HTML>\n" + name_line("KESSAN", code) + "\n" + TableStart + "\n<TR>\n" + HeaderCell +
         "2024\xc7\xaf"
         "6\xb7\xee\xb4\xfc</TD>\n</TR>\n<TR>\n"
         "<TD BGCOLOR=\"#ffffff\" NOWRAP VALIGN=\"TOP\">\nlabel</TD>\n"
         "<TD BGCOLOR=\"#ffffff\" NOWRAP ALIGN=\"RIGHT\" VALIGN=\"TOP\">\n"
         "2024\xc7\xaf"
         "6\xb7\xee<BR>\n2024\xc7\xaf"
         "8\xb7\xee"
         "9\xc6\xfc<BR>\n"
         "12\xa5\xf6\xb7\xee<BR>\n</TD>\n</TR>\n</TABLE>";
}

// The huge mode's body: its comment lines up to megabytes MB, then the page.
std::string huge_body(const std::string& page, size_t megabytes) {
  const size_t target = megabytes * 1024 * 1024;
  std::string filler;
  char number[16];
  for (int n = 1; filler.size() + page.size() < target; ++n) {
    snprintf(number, sizeof number, "%08d", n);
    filler += "<!-- " + (n % 8 == 0 ? std::string(2990, 'x') : std::string(number)) + " -->\n";
  }
  return filler + page;
}

// The garbage mode's reply, the service's pseudo-random bytes for the code.
std::string garbage(int code, size_t size) {
  uint32_t x = static_cast<uint32_t>(code) * 2654435761u + 1;
  std::string out;
  while (out.size() < size) {
    x = x * 1664525u + 1013904223u;
    out += static_cast<char>(x >> 24);
  }
  return out;
}

constexpr DWORD ReceiveTimeoutMs = 1000;
constexpr DWORD ConnectTimeoutMs = 2000;

struct FaultCase {
  const char* label;
  const char* mode;                                             // the modes file's MODE [ARG]
  int32_t result;                                               // what the fetch returns
  std::function<std::string(const std::string& page)> arrives;  // the body bytes that arrive
  int rounds;                                                   // faulted fetches in all
  double seconds;                                               // longest one fetch may take
};

std::string whole(const std::string& page) { return page; }
std::string nothing(const std::string&) { return ""; }
std::function<std::string(const std::string&)> first(size_t n) {
  return [n](const std::string& page) { return page.substr(0, n); };
}
std::string first_half(const std::string& page) { return page.substr(0, page.size() / 2); }

int fault_code(size_t index) { return 2000 + 10 * static_cast<int>(index); }

const std::vector<FaultCase>& fault_cases() {
  static const std::vector<FaultCase> cases = {
      {"ResetMidBody", "resetmid 5000", 2, first(5000), 8, 5},
      {"ContentLengthLongerThanBody", "shortbody 1000", 2, whole, 8, 5},
      {"MalformedChunkedFraming", "badchunk 6000", 2, first(6000), 8, 5},
      {"StallLongerThanReceiveTimeout", "stall 4", 2, first_half, 3, 3},
      {"OneByteAtATime", "bytewise", 2, whole, 6, 10},
      {"RedirectLoop", "redirectloop", FetchRequestFailed, nothing, 8, 5},
      {"TenMegabytePage", "huge 10", 2, [](const std::string& p) { return huge_body(p, 10); }, 3,
       20},
      {"HundredKilobytesOfHeaders", "bigheaders 100", 2, whole, 8, 5},
      // Read as HTTP/0.9, whose first line WinINet takes for a status line and drops.
      {"BinaryGarbage", "garbage 4096", 0,
       [](const std::string&) {
         std::string reply = garbage(fault_code(8), 4096);
         return reply.substr(reply.find('\n') + 1);
       },
       8, 5},
  };
  return cases;
}

class Fault : public ::testing::TestWithParam<size_t> {
 protected:
  static void SetUpTestSuite() {
    std::map<int, std::string> pages;
    std::string modes;
    for (size_t i = 0; i < fault_cases().size(); ++i) {
      pages.emplace(fault_code(i), fault_page(fault_code(i)));
      pages.emplace(fault_code(i) + 1, normal_page(fault_code(i) + 1));
      modes += std::to_string(fault_code(i)) + " " + fault_cases()[i].mode + "\n";
    }
    service_ = new StandInProcess;
    service_->start(pages, modes, {"--idle-timeout", "20"});
  }
  static void TearDownTestSuite() {
    service_->stop();
    delete service_;
    service_ = nullptr;
  }

  void SetUp() override {
    for (const char* name : {"HTTP_PROXY", "no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"})
      unsetenv(name);
    setenv("http_proxy", service_->proxy().c_str(), 1);
    char pattern[] = "/tmp/kessan-fault-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    run_dir_ = pattern;
    previous_dir_ = fs::current_path();
    fs::current_path(run_dir_);
    session_ =
        InternetOpenA("kessan-fault-test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(session_, nullptr);
    DWORD receive = ReceiveTimeoutMs, connect = ConnectTimeoutMs;
    ASSERT_TRUE(
        InternetSetOptionA(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(DWORD)));
    ASSERT_TRUE(
        InternetSetOptionA(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(DWORD)));
  }
  void TearDown() override {
    if (session_ != nullptr) InternetCloseHandle(session_);
    fs::current_path(previous_dir_);
    std::error_code ignored;
    fs::remove_all(run_dir_, ignored);
  }

  int32_t fetch(int code, double* seconds = nullptr) {
    reset_period_table(&table_);
    name_.text[0] = '\0';
    auto start = Clock::now();
    int32_t result = fetch_company(code, session_, &table_, &name_);
    if (seconds != nullptr) *seconds = seconds_since(start);
    return result;
  }

  std::string copy(int code) { return read_file(run_dir_ / (std::to_string(code) + ".html")); }

  static StandInProcess* service_;
  HINTERNET session_ = nullptr;
  fs::path run_dir_, previous_dir_;
  PeriodTable table_;
  CompanyName name_;
};

StandInProcess* Fault::service_ = nullptr;

TEST_P(Fault, FetchReturnsKeepsWhatArrivedStaysFlatAndTheNextCodeIsFetched) {
  const FaultCase& c = fault_cases()[GetParam()];
  const int code = fault_code(GetParam());
  const std::string arrived = without_line_ends(c.arrives(fault_page(code)));
  long rss_after_first = 0;
  for (int round = 0; round < c.rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    double seconds = 0;
    EXPECT_EQ(fetch(code, &seconds), c.result);
    EXPECT_LT(seconds, c.seconds);
    size_t size = 0;
    EXPECT_TRUE(file_holds(run_dir_ / (std::to_string(code) + ".html"), arrived, &size))
        << "the copy of " << size << " bytes is not the " << arrived.size() << " that arrived";

    EXPECT_EQ(fetch(code + 1), 1);
    EXPECT_STREQ(name_.text, "KESSAN");
    EXPECT_EQ(table_.period[0].months, 12);
    EXPECT_EQ(table_.period[0].period_end.tm_year, 124);
    EXPECT_EQ(copy(code + 1), without_line_ends(normal_page(code + 1)));
    if (round == 0) rss_after_first = rss_kb();
    if (HasFailure()) return;
  }
  // A leak of the page or of a buffer per fetch would add up to megabytes over the rounds.
  const long growth = rss_kb() - rss_after_first;
  RecordProperty("rss_growth_kb", std::to_string(growth));
  EXPECT_LT(growth, RssGrowthBoundKb)
      << "VmRSS grew by " << growth << " kB over " << c.rounds - 1 << " more faulted fetches";
}

INSTANTIATE_TEST_SUITE_P(Modes, Fault, ::testing::Range<size_t>(0, fault_cases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return std::string(fault_cases()[info.param].label);
                         });

}  // namespace
