#pragma once

// The sweep's Shift_JIS text on standard output and standard error: a terminal (on Windows a
// console) shows it in its own character set, a file or a pipe receives the bytes unchanged; and
// the status line kept at the bottom of standard error's terminal.

#include <cstddef>
#include <cstdio>

// Writes length bytes of Shift_JIS text to stream. A terminal receives it in its own character
// set, after the status line, if one is shown, has been cleared.
void write_text(FILE* stream, const char* text, size_t length);

// As perror, through write_text: message, ": ", the C library's text for errno and a line end.
void report_error(const char* message);

// True when standard error is a terminal, where a status line may be shown.
bool status_line_possible();

// Shows text (Shift_JIS, one line without a line end, no wider than the terminal) as the status
// line in place of the one shown; nothing when standard error is not a terminal.
void show_status_line(const char* text, size_t length);

// Removes the status line, if one is shown.
void clear_status_line();

// The platform's part: writes Shift_JIS text to stream, a terminal, in the terminal's character
// set (on Windows through the console's wide-character interface).
void write_to_terminal(FILE* stream, const char* text, size_t length);
