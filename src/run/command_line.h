#pragma once

#include <cstdint>

// The answer to a command line of exactly one argument, --help or --version: prints the usage
// or the version on standard output and returns the exit code, 0, or 1 when the text could not
// be written. Any other command line, whose arguments are ignored, returns -1: the sweep runs.
int32_t answer_command_line(int argc, const char* const* argv);
