// Groups every record of "valtic.in" in the working directory into
// "valtic.out". Takes no arguments; exit status 1 after a complete run,
// 0 after any failure.
#include "batch/batch_run.h"

int main() { return drg::runBatch("."); }
