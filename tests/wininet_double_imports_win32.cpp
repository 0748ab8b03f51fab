// The program's modules call WinINet through DLL import pointers (__imp_<name>), as the system
// header declares it. In the Windows test binary those pointers lead to the test double.

#include "platform/wininet.h"

extern "C" {
decltype(&InternetOpenA) __imp_InternetOpenA = &InternetOpenA;
decltype(&InternetOpenUrlA) __imp_InternetOpenUrlA = &InternetOpenUrlA;
decltype(&InternetReadFile) __imp_InternetReadFile = &InternetReadFile;
decltype(&InternetCloseHandle) __imp_InternetCloseHandle = &InternetCloseHandle;
decltype(&InternetSetOptionA) __imp_InternetSetOptionA = &InternetSetOptionA;
}
