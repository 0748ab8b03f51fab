#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace {

// The file being written beside its target, removed when a signal ends the run.
char pending[4096];

void remove_pending(int signal_number) {
  if (pending[0] != '\0') unlink(pending);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void set_binary_stdio() {}

FILE* create_file_beside(const std::string& path, std::string& created, std::string& error) {
  std::string name = path + ".tmp-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) {
    error = strerror(errno);
    return nullptr;
  }
  // mkstemp gives 0600; the finished file gets the permissions of any new file.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = strerror(errno);
    close(fd);
    unlink(name.c_str());
    return nullptr;
  }
  created = name;
  if (name.size() < sizeof pending) {
    name.copy(pending, name.size());
    pending[name.size()] = '\0';
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) signal(signal_number, remove_pending);
  }
  return file;
}

std::string replace_file(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return strerror(errno);
  pending[0] = '\0';
  return "";
}
