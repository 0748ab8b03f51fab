#include "platform/process.h"

// Windows has no file size signal: a write past a quota fails.
void prepare_process() {}
