#include <unistd.h>

#include "platform/scratch.h"

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) == 1; }
