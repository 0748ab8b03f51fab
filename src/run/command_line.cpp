#include "run/command_line.h"

#include <cstdio>
#include <cstring>

#include "profile_base_url.h"
#include "version.h"

namespace {

constexpr char Usage[] =
    "Usage: kessan\n"
    "Requests the results page of every securities code from 1300 to 9999,\n"
    "  %sNNNN.html,\n"
    "and prints each listed company's name and up to three fiscal periods of figures on\n"
    "standard output, in Shift_JIS; standard error lists the companies as they come.\n"
    "\n"
    "It writes 8,700 files, 1300.html to 9999.html, into the current directory, replacing\n"
    "any of the same name: run it in an empty directory.\n"
    "\n"
    "Requests go through the proxy of http_proxy (http://[user:password@]host:port), except\n"
    "to the hosts of no_proxy or NO_PROXY; on Windows, through the system's proxy settings.\n"
    "\n"
    "Arguments are ignored, but for one alone:\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "The manual page kessan(1), or README.txt beside kessan.exe, describes the output.\n";

}  // namespace

int32_t answer_command_line(int argc, const char* const* argv) {
  if (argc != 2) return -1;
  int written;
  if (std::strcmp(argv[1], "--help") == 0) {
    written = std::printf(Usage, ProfileBaseUrl);
  } else if (std::strcmp(argv[1], "--version") == 0) {
    written = std::printf("kessan %s\n", KessanVersion);
  } else {
    return -1;
  }
  return written < 0 || std::fflush(stdout) != 0 ? 1 : 0;
}
