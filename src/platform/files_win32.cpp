#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace {

std::wstring wide(const std::string& text, UINT code_page) {
  int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string narrow(const std::wstring& text, UINT code_page) {
  int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// The longest name of a file in a folder.
constexpr size_t LongestName = 255;

bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

void set_binary_stdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

void prepare_writer() {}

bool is_standard_input(const std::string& path) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_DISK) return false;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool same = same_file(input, file);
  CloseHandle(file);
  return same;
}

std::string output_refusal(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return strerror(EISDIR);
  if (attributes & FILE_ATTRIBUTE_READONLY) return strerror(EACCES);
  return "";
}

FILE* open_output(const std::string& path, std::string& temporary, std::string& replaced,
                  std::string& error) {
  replaced = path;
  const size_t slash = path.find_last_of("\\/:") + 1;  // npos + 1 is 0
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string suffix =
        ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    // The temporary name must fit where the file's own name fits: cut at a character's start.
    size_t kept = 0;
    while (slash + kept < path.size()) {
      const size_t unit = IsDBCSLeadByte(static_cast<BYTE>(path[slash + kept])) ? 2 : 1;
      if (kept + unit + suffix.size() > LongestName) break;
      kept += unit;
    }
    std::string name = path.substr(0, slash + kept) + suffix;
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
    temporary = name;
    return file;
  }
  error = "no free temporary name";
  return nullptr;
}

std::string replace_file(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return "";
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = text != nullptr ? text : L"";
  LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
    reason.pop_back();
  if (reason.empty()) return "Windows error " + std::to_string(code);
  return narrow(reason, CP_UTF8);
}

void write_message(const std::string& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0, written = 0;
  const std::wstring line = wide(text + "\n", CP_UTF8);
  if (error != INVALID_HANDLE_VALUE && GetConsoleMode(error, &mode)) {
    WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  const std::string bytes = narrow(line, GetACP());
  fwrite(bytes.data(), 1, bytes.size(), stderr);
  fflush(stderr);
}

std::string argument_text(const std::string& argument) {
  return narrow(wide(argument, CP_ACP), CP_UTF8);
}
