#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

void set_binary_stdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

FILE* create_file_beside(const std::string& path, std::string& created, std::string& error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name =
        path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = strerror(errno);
      return nullptr;
    }
    FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
      error = strerror(errno);
      _close(fd);
      _unlink(name.c_str());
      return nullptr;
    }
    created = name;
    return file;
  }
  error = "no free temporary name";
  return nullptr;
}

std::string replace_file(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return "";
  return "Windows error " + std::to_string(GetLastError());
}
