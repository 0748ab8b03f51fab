#include "run/command_line.h"

#include <cstdio>
#include <cstring>

#include "profile_base_url.h"
#include "version.h"

namespace {

constexpr char Usage[] =
    "Usage: kessan\n"
    "Requests the results page of every four-digit securities code from 1300 to 9999,\n"
    "  %sNNNN.html,\n"
    "and prints each listed company's name and up to three fiscal periods of figures on\n"
    "standard output, in Shift_JIS; standard error lists the companies as they come.\n"
    "A terminal (a console on Windows) shows the text in its own character set, and a\n"
    "status line at the bottom while standard error is one.\n"
    "Codes with letters, issued since 2024 (such as 130A), are not requested: companies\n"
    "listed under them are not in the results.\n"
    "\n"
    "It writes 8,700 files, 1300.html to 9999.html, into the current directory, replacing\n"
    "any of the same name: run it in an empty directory.\n"
    "\n"
    "Requests go through the proxy of http_proxy (http://[user:password@]host:port), except\n"
    "to the hosts of no_proxy or NO_PROXY; on Windows, through the system's proxy settings.\n"
    "\n"
    "kessan takes no arguments for a sweep; any other command line than these is refused:\n"
    "  -h, --help     print this text and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "Exit status: 0 when every code was requested and saved; 3 when the request of a code\n"
    "could not be opened or its file not created (standard error ends with those codes);\n"
    "-2 (254 where the status is a byte) when no HTTP session could be opened; 64 for a\n"
    "refused command line.\n"
    "\n"
    "The manual page kessan(1), or README.txt beside kessan.exe, describes the output.\n";

constexpr int UsageError = 64;

bool is(const char* argument, const char* short_form, const char* long_form) {
  return std::strcmp(argument, short_form) == 0 || std::strcmp(argument, long_form) == 0;
}

// The argument named in one line: a control character, which would break it, shows as '?'.
void name_argument(const char* argument) {
  std::fputs("kessan: unexpected argument '", stderr);
  for (const char* c = argument; *c != '\0'; ++c) {
    std::fputc(static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F ? '?' : *c, stderr);
  }
  std::fputs("'\nTry 'kessan --help'.\n", stderr);
}

}  // namespace

int32_t answer_command_line(int argc, const char* const* argv) {
  if (argc <= 1) return -1;
  const char* argument = argv[1];
  bool help = is(argument, "-h", "--help"), version = is(argument, "-V", "--version");
  if (argc > 2 || !(help || version)) {
    name_argument(help || version ? argv[2] : argument);
    return UsageError;
  }
  int written =
      help ? std::printf(Usage, ProfileBaseUrl) : std::printf("kessan %s\n", KessanVersion);
  return written < 0 || std::fflush(stdout) != 0 ? 1 : 0;
}
