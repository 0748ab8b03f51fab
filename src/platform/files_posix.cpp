#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/files.h"

namespace {

// The files that a signal ending the run removes: the one written beside the output, and the
// scratch file of a workbook.
enum Pending { Output, Scratch };
char pending[2][4096];

// Every signal whose default action ends the process: all but those that stop, continue or are
// ignored by default (SIGPWR and SIGSTKFLT end it too, and are in no standard list).
sigset_t ending_signals() {
  sigset_t set;
  sigfillset(&set);
  for (int signal_number :
       {SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGCHLD, SIGURG, SIGWINCH})
    sigdelset(&set, signal_number);
  return set;
}

void remove_pending(int signal_number) {
  for (const char* name : pending) {
    if (name[0] != '\0') unlink(name);
  }
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// The file that path names, through symbolic links (at most 40, as the system follows).
std::string link_target(const std::string& path) {
  std::filesystem::path file = path;
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(file, error))) break;
    std::filesystem::path to = std::filesystem::read_symlink(file, error);
    if (error) break;
    file = to.is_absolute() ? to : file.parent_path() / to;
  }
  return file.string();
}

// Creates the file that the template name gives (mkstemp) and has a signal that ends the run
// remove it. The ending signals wait until the handler knows the name, so that none leaves the
// file. A signal that is ignored (nohup, or writes that fail instead) stays ignored.
int create_pending(std::string& name, Pending which) {
  sigset_t ending = ending_signals(), previous;
  sigprocmask(SIG_BLOCK, &ending, &previous);
  int fd = mkstemp(name.data());
  if (fd >= 0 && name.size() < sizeof pending[which]) {
    name.copy(pending[which], name.size());
    pending[which][name.size()] = '\0';
    struct sigaction action = {};
    action.sa_handler = remove_pending;
    action.sa_mask = ending;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
      struct sigaction old;
      if (sigismember(&ending, signal_number) == 1 &&
          sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
        sigaction(signal_number, &action, nullptr);
    }
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  return fd;
}

}  // namespace

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool expand_wildcards(std::vector<std::string>&, std::string&) { return true; }

FILE* open_input(const std::string& path) { return fopen(path.c_str(), "rb"); }

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

void set_binary_stdio() {}

void prepare_writer() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
      open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

bool is_standard_input(const std::string& path) {
  struct stat input, file;
  return fstat(0, &input) == 0 && stat(path.c_str(), &file) == 0 && S_ISREG(input.st_mode) &&
         input.st_dev == file.st_dev && input.st_ino == file.st_ino;
}

std::string output_refusal(const std::string& path) {
  struct stat existing;
  if (stat(path.c_str(), &existing) != 0) return "";
  if (S_ISDIR(existing.st_mode)) return strerror(EISDIR);
  if (S_ISREG(existing.st_mode) && access(path.c_str(), W_OK) != 0) return strerror(errno);
  return "";
}

FILE* open_output(const std::string& path, std::string& temporary, std::string& replaced,
                  std::string& error) {
  struct stat existing;
  const bool exists = stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) error = strerror(errno);
    return file;
  }
  replaced = link_target(path);
  // The temporary name must fit where the file's own name fits.
  const size_t slash = replaced.rfind('/') + 1;
  const std::string suffix = ".tmp-XXXXXX";
  std::string name =
      replaced.substr(0, slash) + replaced.substr(slash, NAME_MAX - suffix.size()) + suffix;
  int fd = create_pending(name, Output);
  if (fd < 0) {
    error = strerror(errno);
    return nullptr;
  }
  // mkstemp gives 0600; the finished file gets the replaced file's permissions, or those of any
  // new file.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, exists ? existing.st_mode & 0777 : 0666 & ~mask);
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = strerror(errno);
    close(fd);
    unlink(name.c_str());
    pending[Output][0] = '\0';
    return nullptr;
  }
  temporary = name;
  return file;
}

std::string replace_file(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return strerror(errno);
  pending[Output][0] = '\0';
  return "";
}

void remove_temporary(const std::string& temporary) {
  unlink(temporary.c_str());
  pending[Output][0] = '\0';
}

std::string create_scratch_file(std::string& error) {
  const char* folder = getenv("TMPDIR");
  std::string name = std::string(folder && *folder ? folder : "/tmp") + "/kessan-tidy-XXXXXX";
  int fd = create_pending(name, Scratch);
  if (fd < 0) {
    error = strerror(errno);
    return "";
  }
  close(fd);
  return name;
}

void remove_scratch_file(const std::string& name) {
  unlink(name.c_str());
  pending[Scratch][0] = '\0';
}

FILE* open_scratch_file(const std::string& name) { return fopen(name.c_str(), "rb"); }

// A file that is open can be removed here.
void scratch_file_in_use(bool) {}

void write_message(const std::string& text) { fprintf(stderr, "%s\n", text.c_str()); }

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) == 1; }
