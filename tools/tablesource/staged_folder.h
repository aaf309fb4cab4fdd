#pragma once
// Replacing a set of files in a folder all at once. The new files are written
// into a staging folder beside the target (on the same file system, so that
// moving a file is a rename), flushed to disk and only then moved into
// place, each over the entry of the same name. When a move fails, the files
// already moved are put back: the folder holds the old set or the new one,
// never a mix of the two. Files of the target that are not replaced stay.

#include <string>
#include <vector>

namespace drg::source {

class StagedFolder {
public:
    StagedFolder() = default;
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;
    // Removes the staging folder with whatever is left in it.
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
    // A stop by SIGINT, SIGTERM or SIGHUP waits until the target holds one
    // whole set; one that has come before the moves keeps them from starting.
    bool commit(const std::vector<std::string>& names, std::string* problem, bool* unchanged,
                const std::vector<std::string>& removed = {});

private:
    bool moveIntoPlace(const std::vector<std::string>& names, std::string* problem, bool* unchanged,
                       const std::vector<std::string>& removed);

    std::string target_;    // as given, for messages
    std::string resolved_;  // the target with links resolved
    std::string staging_;
    bool keep_ = false;  // an old file could not be put back and is still in the staging folder
};

}  // namespace drg::source
