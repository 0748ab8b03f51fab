#pragma once

// Files written whole: standard streams without line end translation, the output opened beside
// the file it replaces, the rename that replaces it, and messages for the console.

#include <cstdio>
#include <string>

// Standard input and output as bytes (no CR LF on Windows).
void set_binary_stdio();

// Before anything is opened: closed standard descriptors are opened on the null device, so that
// no file takes their place; a write past a file size limit or into a closed pipe fails and is
// reported instead of ending the process.
void prepare_writer();

// True when path names the regular file that standard input reads.
bool is_standard_input(const std::string& path);

// Why the file that path names cannot be the output, checked before any work: a folder, or a file
// the user may not write (as cp refuses it); "" when it can.
std::string output_refusal(const std::string& path);

// Opens path for writing. A FIFO or a device is written directly (temporary stays empty).
// Otherwise a new file is created in the folder of the file that path names (through symbolic
// links: that file is stored in replaced), with that file's permission bits when it exists; it is
// removed when a signal (on POSIX systems: any that is not ignored) or Ctrl-C ends the program
// before replace_file. Returns null and the reason in error when it cannot.
FILE* open_output(const std::string& path, std::string& temporary, std::string& replaced,
                  std::string& error);

// Renames from to to, replacing to when it exists; returns the reason when it cannot, else "".
std::string replace_file(const std::string& from, const std::string& to);

// Writes one line of UTF-8 text to standard error, so that a console or a file in the system's
// code page shows it.
void write_message(const std::string& text);

// A command-line argument (a file name) as UTF-8, for messages.
std::string argument_text(const std::string& argument);
