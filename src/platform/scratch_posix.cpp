#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/scratch.h"

std::string create_scratch_file(std::string& error) {
  const char* folder = getenv("TMPDIR");
  std::string name = std::string(folder && *folder ? folder : "/tmp") + "/kessan-tidy-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) {
    error = strerror(errno);
    return "";
  }
  close(fd);
  return name;
}

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) == 1; }
