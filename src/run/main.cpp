#include "run/sweep.h"

int main() { return run_sweep(); }
