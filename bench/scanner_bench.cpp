// The results-table scanner over a folder of pages (NNNN.html), as a sweep feeds it: each page
// from its first line to the line where the scan stops.
//
//   scanner_bench [benchmark options] PAGES_DIR
//
// Scanner: the scanner alone, over lines split beforehand. ReadAndScan: the line reader over
// the page in memory, and the scanner. Bytes are page bytes up to the end of the stop line.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "items/items.h"
#include "parsing/scanner.h"
#include "platform/wininet.h"
#include "retrieval/line_reader.h"
#include "retrieval/response_scan.h"

namespace {

// A request whose body is a page in memory.
struct MemoryRequest {
  const std::string* page;
  size_t offset;
};

struct Page {
  std::string bytes;
  std::string lines;     // the lines the scanner is fed, up to the stop, each terminated
  size_t scanned_bytes;  // page bytes up to the end of the last of them
};

std::vector<Page> pages;
int64_t scanned_total = 0;

// Reads and scans a page as the sweep does (without the copy); returns the scan's result and
// the page bytes read up to the end of the line where the scan stopped.
int32_t read_and_scan(MemoryRequest* request, size_t* scanned_bytes) {
  PeriodTable table;
  CompanyName name;
  reset_period_table(&table);
  name.text[0] = '\0';
  ResponseReader reader = start_reader(nullptr, request);
  ResultsScanner scanner;
  start_scanner(&scanner, &table, &name);
  int32_t result = scan_response(&reader, &scanner, nullptr);
  if (scanned_bytes != nullptr)
    *scanned_bytes = request->offset - reader.read_len + reader.read_pos;
  benchmark::DoNotOptimize(table);
  benchmark::DoNotOptimize(name);
  return result;
}

// The lines the line reader delivers for text, each terminated.
std::string split_lines(const std::string& text) {
  MemoryRequest request{&text, 0};
  ResponseReader reader = start_reader(nullptr, &request);
  Line line;
  std::string lines;
  while (next_line(&reader, &line) != nullptr) lines.append(line.text, strlen(line.text) + 1);
  return lines;
}

bool load_pages(const char* folder) {
  const std::regex page_name("[0-9]{4}\\.html");
  std::vector<std::filesystem::path> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (std::regex_match(entry.path().filename().string(), page_name)) paths.push_back(entry);
  }
  if (error) return false;
  std::sort(paths.begin(), paths.end());
  for (const auto& path : paths) {
    std::ifstream in(path, std::ios::binary);
    Page page;
    page.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return false;
    pages.push_back(std::move(page));
  }
  for (Page& page : pages) {
    MemoryRequest request{&page.bytes, 0};
    read_and_scan(&request, &page.scanned_bytes);
    page.lines = split_lines(page.bytes.substr(0, page.scanned_bytes));
    scanned_total += static_cast<int64_t>(page.scanned_bytes);
  }
  return !pages.empty();
}

void report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * scanned_total);
  state.counters["pages"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(pages.size()),
      benchmark::Counter::kIsRate);
}

void Scanner(benchmark::State& state) {
  PeriodTable table;
  CompanyName name;
  ResultsScanner scanner;
  for (auto _ : state) {
    for (const Page& page : pages) {
      reset_period_table(&table);
      name.text[0] = '\0';
      start_scanner(&scanner, &table, &name);
      const char* end = page.lines.data() + page.lines.size();
      for (const char* line = page.lines.data(); line < end; line += strlen(line) + 1) {
        if (feed_line(&scanner, line).stop) break;
      }
      benchmark::DoNotOptimize(table);
      benchmark::DoNotOptimize(name);
    }
  }
  report(state);
}

void ReadAndScan(benchmark::State& state) {
  for (auto _ : state) {
    for (const Page& page : pages) {
      MemoryRequest request{&page.bytes, 0};
      benchmark::DoNotOptimize(read_and_scan(&request, nullptr));
    }
  }
  report(state);
}

}  // namespace

// The line reader's source: the page of a MemoryRequest.
extern "C" BOOL WINAPI InternetReadFile(HINTERNET request, LPVOID buffer, DWORD to_read,
                                        LPDWORD read) {
  auto* memory = static_cast<MemoryRequest*>(request);
  size_t n = std::min<size_t>(to_read, memory->page->size() - memory->offset);
  memcpy(buffer, memory->page->data() + memory->offset, n);
  memory->offset += n;
  *read = static_cast<DWORD>(n);
  return TRUE;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    fprintf(stderr, "usage: %s [benchmark options] PAGES_DIR\n", argv[0]);
    return 2;
  }
  if (!load_pages(argv[1])) {
    fprintf(stderr, "%s: no readable NNNN.html pages in %s\n", argv[0], argv[1]);
    return 1;
  }
  fprintf(stderr, "%zu pages, %.1f MB scanned per pass\n", pages.size(),
          static_cast<double>(scanned_total) / 1e6);
  benchmark::RegisterBenchmark("Scanner", Scanner)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReadAndScan", ReadAndScan)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
