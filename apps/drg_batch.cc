// Groups every record of "valtic.in" in the working directory into
// "valtic.out". Takes no arguments; exit status 1 after a complete run,
// 0 after any failure.
#include <csignal>

#include "batch/batch_run.h"
#include "batch/file_io.h"

int main() {
    drg::holdClosedStandardDescriptors();
    // An output pipe whose reader has gone is a write error, reported as such,
    // not a silent end by signal.
    std::signal(SIGPIPE, SIG_IGN);
    // So is an output that reaches the file size limit (`ulimit -f`).
    std::signal(SIGXFSZ, SIG_IGN);
    drg::endUncaughtFailuresWith("drg-batch", drg::kExitFailed);
    return drg::runBatch(".");
}
