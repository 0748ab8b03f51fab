#include "run/command_line.h"
#include "run/sweep.h"

int main(int argc, char** argv) {
  int32_t answered = answer_command_line(argc, argv);
  return answered >= 0 ? answered : run_sweep();
}
