#pragma once
// A file of records grouped into another on several threads: the batch's
// ordered pipeline and grouping workers, so the output is byte for byte what
// the batch program writes for the same input.

#include <cstdint>
#include <string>

#include "drg/grouper.h"

namespace drg::python {

enum class FileGroupingEnd {
    Complete,
    InputNotOpened,
    OutputIsInput,  // nothing was opened for writing
    OutputNotOpened,
    ReadFailed,
    WriteFailed,
    Refused
};

struct FileGroupingOutcome {
    FileGroupingEnd end = FileGroupingEnd::Complete;
    int error = 0;         // the system's error number of the failed operation
    uint64_t records = 0;  // grouped and written
};

// Needs no interpreter lock: call it with the lock released.
FileGroupingOutcome groupFile(const Release& release, const std::string& input, const std::string& output,
                              int jobs);

}  // namespace drg::python
