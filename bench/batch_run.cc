// The batch run of drg-batch with a chosen number of workers, for timing:
//     batch_run DIR WORKERS
// Exactly the code of drg-batch, which always uses one worker per core.
#include <cstdlib>

#include "batch/batch_run.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    drg::BatchOptions options;
    options.workers = std::atoi(argv[2]);
    return drg::runBatch(argv[1], options);
}
