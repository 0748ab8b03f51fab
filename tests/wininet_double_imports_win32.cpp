// The program's modules call WinINet through DLL import pointers (__imp_<name>), as the system
// header declares it. In the Windows test binary those pointers lead to the test double, which
// reports its errors through GetLastError as WinINet does.

#include "wininet_double.h"

extern "C" {
decltype(&InternetOpenA) __imp_InternetOpenA = &InternetOpenA;
decltype(&InternetOpenUrlA) __imp_InternetOpenUrlA = &InternetOpenUrlA;
decltype(&InternetReadFile) __imp_InternetReadFile = &InternetReadFile;
decltype(&InternetCloseHandle) __imp_InternetCloseHandle = &InternetCloseHandle;
decltype(&InternetSetOptionA) __imp_InternetSetOptionA = &InternetSetOptionA;
}

void wininet_double::report_error(DWORD error) { SetLastError(error); }
