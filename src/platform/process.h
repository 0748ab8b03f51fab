#pragma once

#include <cstdio>

// Sets up the process for the sweep: a write past a file size limit must fail like a full disk
// (the copy is cut short) instead of ending the process with SIGXFSZ. On Windows, standard
// output and standard error that are a console gather their text until end_console_output.
void prepare_process();

// Writes what stream has gathered for a console in one piece; a file or a pipe keeps its own
// buffering, so that its bytes stay those of a run without a console.
void end_console_output(FILE* stream);
