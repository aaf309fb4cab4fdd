#pragma once
// The batch run: "valtic.in" to "valtic.out" in one directory, with the
// tables loaded from the same directory.

#include <cstdio>
#include <string>

#include "batch/file_io.h"

namespace drg {

inline constexpr int kExitComplete = 1;  // callers rely on 1 meaning a complete run
inline constexpr int kExitFailed = 0;

struct BatchOptions {
    int workers = 0;                 // threads that group; 0 for one per core, at most 16
    FileIo* io = nullptr;            // the system's calls when not given
    std::FILE* console = stdout;     // where the console lines go
};

// The worker count of a run that asks for `requested` (0 for every core).
int batchWorkerCount(int requested);

// Runs the whole job and returns the exit status. Console lines go to the
// console exactly as the callers expect; a load problem is also explained in
// one line on standard error.
int runBatch(const std::string& directory = ".", const BatchOptions& options = {});

}  // namespace drg
