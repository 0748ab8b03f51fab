#pragma once

// The four WinINet operations the program uses. On Windows they are the system's own; elsewhere
// they are this folder's layer over libcurl, with the same names, signatures and types.

#ifdef _WIN32
#include <windows.h>
#include <wininet.h>
#else
#include <cstdint>

using DWORD = uint32_t;
using BOOL = int;
using LPCSTR = const char*;
using LPVOID = void*;
using LPDWORD = DWORD*;
using DWORD_PTR = uintptr_t;
using HINTERNET = void*;

#define WINAPI

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;

constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

extern "C" {
// Opens a session: agent is the User-Agent; PRECONFIG takes the proxy from http_proxy, and the
// hosts reached without it from no_proxy (or NO_PROXY); DIRECT uses none.
HINTERNET InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR proxy, LPCSTR proxy_bypass,
                        DWORD flags);
// Starts a GET of url and returns once the response headers arrived; null on transport failure.
// It sends no extra headers: a call that passes some fails.
HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headers_length,
                           DWORD flags, DWORD_PTR context);
// Sets *read to 0, then delivers up to to_read body bytes; *read stays 0 at the end of the data.
BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD to_read, LPDWORD read);
// Releases a session or a request handle.
BOOL InternetCloseHandle(HINTERNET handle);
// Sets a timeout (in milliseconds) on a session or a request; used by tests only.
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
}
#endif

// The errno nearest to a WinINet error code (GetLastError after a failed call); never 0.
int errno_for_wininet_error(DWORD error);
// Sets errno after a failed WinINet call, so that perror gives its reason: on Windows from
// GetLastError, which is where WinINet reports it.
void set_errno_from_wininet();
