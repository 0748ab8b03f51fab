#include <csignal>

#include "platform/process.h"

void prepare_process() { signal(SIGXFSZ, SIG_IGN); }
