#pragma once

constexpr int FirstCode = 1300;
constexpr int LastCode = 9999;
constexpr char UserAgent[] = "qnv408";

// The exit code of a sweep in which a request could not be opened or a copy not created.
constexpr int SomeCodesFailed = 3;

// Opens the session, fetches and reports every code from FirstCode to LastCode, closes the
// session, and reports any code that failed. Returns the process exit code: 0 after a sweep in
// which every code succeeded, SomeCodesFailed, or -2 if no session could be opened.
int run_sweep();
