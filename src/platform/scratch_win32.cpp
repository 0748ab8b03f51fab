#include <io.h>

#include "platform/scratch.h"

bool is_terminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }
