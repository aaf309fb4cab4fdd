#pragma once
// Replacing a set of files in a folder all at once. The new files are written
// into a staging folder beside the target (on the same file system, so that
// moving a file is a rename), flushed to disk and only then moved into
// place, each over the entry of the same name. When a move fails, the files
// already moved are put back: the folder holds the old set or the new one,
// never a mix of the two. Files of the target that are not replaced stay.
//
// While the staging folder exists, Ctrl-C, SIGTERM and SIGHUP go to a
// watcher thread: it lets moves under way end, removes the staging folder,
// and ends the program by the same signal, as if it had not been caught.
// Make the folder before any other thread is started.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "process/stop_watch.h"

namespace drg::source {

class StagedFolder {
public:
    StagedFolder() = default;
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;
    // Removes the staging folder with whatever is left in it, and gives the
    // stop signals back to the caller.
    ~StagedFolder();

    // Creates the staging folder for `target` (a path as the user gave it;
    // the target itself is created only by commit). False with `problem`.
    bool open(const std::string& target, std::string* problem);
    // Where to write the new files.
    const std::string& path() const { return staging_; }

    // Flushes the named files of path() and moves them into the target, and
    // takes the files named in `removed` out of it, in the same all-or-nothing
    // step. False with `problem` on failure; `unchanged` then says whether
    // the target is as it was (it is, unless putting an old file back failed
    // too, which `problem` then names).
    // A stop that has come before the moves keeps them from starting.
    bool commit(const std::vector<std::string>& names, std::string* problem, bool* unchanged,
                const std::vector<std::string>& removed = {});

private:
    bool moveIntoPlace(const std::vector<std::string>& names, std::string* problem, bool* unchanged,
                       const std::vector<std::string>& removed);
    void removeStaging();

    std::string target_;    // as given, for messages
    std::string resolved_;  // the target with links resolved
    std::string staging_;
    bool keep_ = false;  // an old file could not be put back and is still in the staging folder

    std::mutex moving_;  // held by the moves, and by a stop
    bool stopped_ = false;
    std::optional<process::StopWatch> stopWatch_;  // while the staging folder exists
};

}  // namespace drg::source
