#pragma once

// Scratch files for writers that want a file name, and whether a stream is a terminal.

#include <cstdio>
#include <string>

// Creates a new empty file in the system's folder for temporary files and returns its name;
// "" with the reason in error when it cannot. Like the output's temporary file, it is removed when
// a signal or Ctrl-C ends the program before remove_scratch_file.
std::string create_scratch_file(std::string& error);
void remove_scratch_file(const std::string& name);

// True when stream is a terminal (a console on Windows).
bool is_terminal(FILE* stream);
