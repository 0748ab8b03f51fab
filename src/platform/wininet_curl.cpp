// The WinINet operations over libcurl: being written.
#include "platform/wininet.h"
HINTERNET InternetOpenA(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) { return nullptr; }
HINTERNET InternetOpenUrlA(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR) { return nullptr; }
BOOL InternetReadFile(HINTERNET, LPVOID, DWORD, LPDWORD read) { *read = 0; return FALSE; }
BOOL InternetCloseHandle(HINTERNET) { return TRUE; }
BOOL InternetSetOptionA(HINTERNET, DWORD, LPVOID, DWORD) { return FALSE; }
