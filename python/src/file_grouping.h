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
    OutputIsInput,      // nothing was opened for writing
    OutputIsTableFile,  // of the release: nothing was opened for writing
    OutputNotOpened,
    ReadFailed,
    WriteFailed,
    Refused  // every record: found before anything was opened
};

struct FileGroupingOutcome {
    FileGroupingEnd end = FileGroupingEnd::Complete;
    int error = 0;         // the system's error number of the failed operation
    uint64_t records = 0;  // grouped and written
    const char* tableFile = nullptr;  // the table file that the output names
};

// `tablesDirectory` is the folder the release was opened from. Needs no
// interpreter lock: call it with the lock released.
FileGroupingOutcome groupFile(const Release& release, const std::string& tablesDirectory, const std::string& input,
                              const std::string& output, int jobs);

}  // namespace drg::python
