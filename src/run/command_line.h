#pragma once

#include <cstdint>

// The answer to a command line with arguments. -h or --help, -V or --version alone prints the
// usage or the version on standard output and returns the exit code, 0, or 1 when the text could
// not be written; any other argument, or more than one, is named on standard error and returns
// 64. No arguments return -1: the sweep runs.
int32_t answer_command_line(int argc, const char* const* argv);
