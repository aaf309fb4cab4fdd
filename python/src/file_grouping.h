#pragma once
// A file of records grouped into another on several threads: the batch's
// ordered pipeline and grouping workers, so the output is byte for byte what
// the batch program writes for the same input.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
    Refused,  // every record: found before anything was opened
    Stopped   // keepGoing said no: the output holds the records before
};

struct FileGroupingOutcome {
    FileGroupingEnd end = FileGroupingEnd::Complete;
    int error = 0;         // the system's error number of the failed operation
    uint64_t records = 0;  // grouped and written
    const char* tableFile = nullptr;  // the table file that the output names
};

// A table file of the release as the system knows it (device and inode), so
// that an output is matched to it whatever the working directory, however the
// folder has been renamed since, and through any link.
struct TableFileIdentity {
    const char* name;
    dev_t device;
    ino_t inode;
};

// Where a release's table files are: the files it was opened from (a file
// that cannot be looked at is left out), and its folder as an absolute
// path, whose table files may since have been replaced by a new build.
struct ReleaseFiles {
    std::string folder;
    std::vector<TableFileIdentity> files;
};

// Taken when the release is opened from `tablesDirectory`.
ReleaseFiles releaseFilesIn(const std::string& tablesDirectory);

// `tableFiles` are those of the release. Needs no interpreter lock: call it
// with the lock released. `keepGoing` is asked on the calling thread every
// 50 ms or so while the records are grouped; false stops the run, also one
// waiting for a pipe or a terminal.
FileGroupingOutcome groupFile(const Release& release, const ReleaseFiles& tableFiles, const std::string& input,
                              const std::string& output, int jobs, const std::function<bool()>& keepGoing);

}  // namespace drg::python
