#pragma once

// Scratch files for writers that want a file name, and whether a stream is a terminal.

#include <cstdio>
#include <string>

// Creates a new empty file in the system's folder for temporary files and returns its name;
// "" with the reason in error when it cannot. The caller removes it.
std::string create_scratch_file(std::string& error);

// True when stream is a terminal (a console on Windows).
bool is_terminal(FILE* stream);
