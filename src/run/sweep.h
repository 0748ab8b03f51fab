#pragma once

constexpr int FirstCode = 1300;
constexpr int LastCode = 9999;
constexpr char UserAgent[] = "qnv408";

// Opens the session, fetches and reports every code from FirstCode to LastCode, closes the
// session. Returns the process exit code: 0 after the sweep, -2 if no session could be opened.
int run_sweep();
