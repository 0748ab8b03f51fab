#pragma once

// Sets up the process for the sweep: a write past a file size limit must fail like a full disk
// (the copy is cut short) instead of ending the process with SIGXFSZ.
void prepare_process();
