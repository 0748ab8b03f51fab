#include <windows.h>
// After windows.h:
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cwchar>

#include "platform/files.h"

namespace {

std::wstring wide(const std::string& text, UINT code_page = CP_UTF8) {
  int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string narrow(const std::wstring& text, UINT code_page = CP_UTF8) {
  int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// The system's text for an error code, as UTF-8.
std::string system_reason(DWORD code) {
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
  return narrow(reason);
}

// Where a path's last part starts.
size_t name_start(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? 0 : slash + 1;
}

// A device by its reserved name, in any case, with any extension and with a colon after it as
// Windows accepts it (NUL, con, nul.csv, COM1, NUL:), or a path in the device namespace (\\.\).
bool is_device(std::wstring path) {
  if (path.rfind(L"\\\\.\\", 0) == 0) return true;
  if (path.size() > 2 && path.back() == L':') path.pop_back();
  std::wstring name = path.substr(name_start(path));
  name = name.substr(0, name.find(L'.'));
  while (!name.empty() && name.back() == L' ') name.pop_back();
  for (wchar_t& c : name) c = towupper(c);
  static const wchar_t* const Reserved[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* reserved : Reserved) {
    if (name == reserved) return true;
  }
  return name.size() == 4 && (name.rfind(L"COM", 0) == 0 || name.rfind(L"LPT", 0) == 0) &&
         name[3] >= L'1' && name[3] <= L'9';
}

// The longest name of a file in a folder, in UTF-16 units.
constexpr size_t LongestName = 255;

bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

HANDLE open_existing(const std::string& path) {
  return CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The files that Ctrl-C, Ctrl-Break, closing the console or logging off removes when it ends the
// run: the one written beside the output, and the scratch file of a workbook. The handler runs on
// a thread of its own while the file is open: the output was opened for sharing its deletion, and
// goes once the process has ended. A name is armed only once it is whole and its file made: a
// part of it may name the target itself. libxlsxwriter opens the scratch file without delete
// sharing, so that it cannot be removed while the library has it: the handler waits until the
// library is done with it, and the main thread, once it is, goes no further.
enum Pending { Output, Scratch };
wchar_t pending[2][32768];
std::atomic<bool> armed[2] = {false, false};
std::atomic<bool> interrupted = false, library_has_scratch = false;

BOOL WINAPI remove_pending(DWORD event) {
  interrupted = true;
  // Ctrl-C and Ctrl-Break wait up to a minute; closing the console or logging off allows 5 s.
  const int waits = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 6000 : 400;
  for (int wait = 0; wait < waits && library_has_scratch; ++wait) Sleep(10);
  for (int which : {Output, Scratch}) {
    if (armed[which]) DeleteFileW(pending[which]);
  }
  return FALSE;  // the default handler ends the process
}

// text in the code page, or "" when a character of it has none there.
std::string narrow_exactly(const std::wstring& text, UINT code_page) {
  BOOL lost = FALSE;
  const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0, nullptr, &lost);
  if (n <= 0 || lost) return "";
  return narrow(text, code_page);
}

void handle_ctrl_c() {
  static const bool handler = SetConsoleCtrlHandler(remove_pending, TRUE);
  (void)handler;
}

}  // namespace

std::vector<std::string> command_line_arguments(int, char**) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 1; arguments != nullptr && i < count; ++i) out.push_back(narrow(arguments[i]));
  LocalFree(arguments);
  return out;
}

bool expand_wildcards(std::vector<std::string>& names, std::string& error) {
  std::vector<std::string> expanded;
  for (const std::string& name : names) {
    const std::wstring pattern = wide(name);
    const size_t start = name_start(pattern);
    if (pattern.find_first_of(L"*?", start) == std::wstring::npos) {
      expanded.push_back(name);
      continue;
    }
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(data.cFileName);
      } while (FindNextFileW(search, &data));
      FindClose(search);
    }
    if (found.empty()) {
      error = name + ": no file matches";
      return false;
    }
    std::sort(found.begin(), found.end(), [](const std::wstring& a, const std::wstring& b) {
      const int order = CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                             static_cast<int>(b.size()), TRUE);
      return order == CSTR_EQUAL ? a < b : order == CSTR_LESS_THAN;
    });
    for (const std::wstring& file : found) {
      // A file named - is not standard input.
      const std::wstring folder = start == 0 && file == L"-" ? L".\\" : pattern.substr(0, start);
      expanded.push_back(narrow(folder + file));
    }
  }
  names = std::move(expanded);
  return true;
}

FILE* open_input(const std::string& path) { return _wfopen(wide(path).c_str(), L"rb"); }

bool same_file(const std::string& a, const std::string& b) {
  HANDLE x = open_existing(a), y = open_existing(b);
  const bool same = x != INVALID_HANDLE_VALUE && y != INVALID_HANDLE_VALUE && same_file(x, y);
  if (x != INVALID_HANDLE_VALUE) CloseHandle(x);
  if (y != INVALID_HANDLE_VALUE) CloseHandle(y);
  return same;
}

void set_binary_stdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

void prepare_writer() {}

bool is_standard_input(const std::string& path) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_DISK) return false;
  HANDLE file = open_existing(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION identity;
  FILE_ID_INFO a, b;
  bool same = true;  // when neither identity can be read
  if (GetFileInformationByHandle(input, &identity)) {
    same = same_file(input, file);
  } else if (GetFileInformationByHandleEx(input, FileIdInfo, &a, sizeof a) &&
             GetFileInformationByHandleEx(file, FileIdInfo, &b, sizeof b)) {
    // A handle inherited under Wine gives its file's ID but no volume: the ID alone.
    same = memcmp(&a.FileId, &b.FileId, sizeof a.FileId) == 0;
  }
  CloseHandle(file);
  return same;
}

std::string output_refusal(const std::string& path) {
  const std::wstring name = wide(path);
  if (is_device(name)) return "";
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return strerror(EISDIR);
  if (attributes & FILE_ATTRIBUTE_READONLY) return strerror(EACCES);
  return "";
}

FILE* open_output(const std::string& path, std::string& temporary, std::string& replaced,
                  std::string& error) {
  const std::wstring target = wide(path);
  if (is_device(target)) {
    FILE* file = _wfopen(target.c_str(), L"wb");
    if (file == nullptr) error = strerror(errno);
    return file;
  }
  replaced = path;
  handle_ctrl_c();
  const size_t slash = name_start(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring suffix =
        L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    // The temporary name must fit where the file's own name fits: not cut inside a pair of
    // surrogates.
    size_t kept = std::min(target.size() - slash, LongestName - suffix.size());
    if (kept > 0 && slash + kept < target.size() && IS_LOW_SURROGATE(target[slash + kept])) --kept;
    const std::wstring name = target.substr(0, slash + kept) + suffix;
    if (name.size() >= sizeof pending[Output] / sizeof pending[Output][0]) {
      error = strerror(ENAMETOOLONG);
      return nullptr;
    }
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_EXISTS) continue;
      error = system_reason(code);
      return nullptr;
    }
    wcscpy(pending[Output], name.c_str());
    armed[Output] = true;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (file == nullptr) {
      error = strerror(errno);
      if (fd < 0) CloseHandle(handle);
      if (fd >= 0) _close(fd);
      remove_temporary(narrow(name));
      return nullptr;
    }
    temporary = narrow(name);
    return file;
  }
  error = "no free temporary name";
  return nullptr;
}

std::string replace_file(const std::string& from, const std::string& to) {
  if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    return system_reason(GetLastError());
  armed[Output] = false;
  return "";
}

void remove_temporary(const std::string& temporary) {
  DeleteFileW(wide(temporary).c_str());
  armed[Output] = false;
}

// In the ANSI code page: the name goes to a library that opens it with fopen. A folder whose name
// has no characters there (a Japanese account's on a Western Windows) is named by its short
// name, which is ASCII.
std::string create_scratch_file(std::string& error) {
  handle_ctrl_c();
  std::wstring folder(MAX_PATH + 1, L'\0');
  DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length > folder.size()) {
    folder.resize(length);
    length = GetTempPathW(length, folder.data());
  }
  folder.resize(length < folder.size() ? length : 0);
  DWORD code = folder.empty() ? GetLastError() : ERROR_SUCCESS;
  std::wstring path;
  for (UINT attempt = 0; code == ERROR_SUCCESS && attempt < 100; ++attempt) {
    // A name of the process and the attempt, made here rather than by the system, so that the
    // handler has it before the file exists.
    const UINT unique = (GetCurrentProcessId() * 100 + attempt) % 0xFFFF + 1;
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(folder.c_str(), L"kt", unique, name) == 0) {
      code = GetLastError();
      break;
    }
    wcscpy(pending[Scratch], name);
    HANDLE handle = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    code = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (code == ERROR_FILE_EXISTS) {
      code = ERROR_SUCCESS;
      continue;
    }
    if (code != ERROR_SUCCESS) break;
    armed[Scratch] = true;
    CloseHandle(handle);
    path = name;
    break;
  }
  const std::string shown = narrow(folder.empty() ? L"%TEMP%" : folder);
  if (path.empty()) {
    error = "cannot make one in " + shown + ": " +
            (code == ERROR_SUCCESS ? "no free name" : system_reason(code));
    return "";
  }
  std::string ansi = narrow_exactly(path, CP_ACP);
  if (ansi.empty()) {
    // The short name may be the longer: a part of four characters may take eight.
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    std::wstring short_path(size, L'\0');
    const DWORD n = GetShortPathNameW(path.c_str(), short_path.data(), size);
    short_path.resize(n > 0 && n < size ? n : 0);
    ansi = narrow_exactly(short_path, CP_ACP);
  }
  if (ansi.empty()) {
    remove_scratch_file("");
    error = shown + " has no name in the system's code page, nor a short name: set TEMP to a " +
            "folder whose name has only ASCII characters";
  }
  return ansi;
}

void remove_scratch_file(const std::string&) {
  if (armed[Scratch]) DeleteFileW(pending[Scratch]);
  armed[Scratch] = false;
}

FILE* open_scratch_file(const std::string& name) {
  HANDLE handle = CreateFileW(wide(name, CP_ACP).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    errno = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  FILE* file = fd < 0 ? nullptr : _fdopen(fd, "rb");
  if (file == nullptr && fd >= 0) _close(fd);
  if (fd < 0) CloseHandle(handle);
  return file;
}

void scratch_file_in_use(bool in_use) {
  library_has_scratch = in_use;
  // Ctrl-C came while the library had the file: the handler removes it and ends the run.
  if (interrupted) Sleep(INFINITE);
}

void write_message(const std::string& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0, written = 0;
  const std::wstring line = wide(text + "\n");
  if (error != INVALID_HANDLE_VALUE && GetConsoleMode(error, &mode)) {
    WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  const std::string bytes = narrow(line, GetACP());
  fwrite(bytes.data(), 1, bytes.size(), stderr);
  fflush(stderr);
}

// A console, not any character device as _isatty has it: NUL takes a workbook.
bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}
