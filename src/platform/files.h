#pragma once

// Files written whole: standard streams without line end translation, a new file beside
// another one, and the rename that replaces a file.

#include <cstdio>
#include <string>

// Standard input and output as bytes (no CR LF on Windows).
void set_binary_stdio();

// Creates and opens for writing a new file of its own name in the folder of path; stores the
// name in created. Returns null and the reason in error when it cannot. On POSIX systems the
// file is removed when SIGINT, SIGTERM or SIGHUP ends the program before replace_file.
FILE* create_file_beside(const std::string& path, std::string& created, std::string& error);

// Renames from to to, replacing to when it exists; returns the reason when it cannot, else "".
std::string replace_file(const std::string& from, const std::string& to);
