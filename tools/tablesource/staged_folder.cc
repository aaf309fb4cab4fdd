#include "tablesource/staged_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tablesource/diagnostics.h"

namespace drg::source {
namespace {

namespace fs = std::filesystem;

std::string lastError() { return std::strerror(errno); }

bool flushToDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool flushed = ::fsync(fd) == 0;
    return ::close(fd) == 0 && flushed;
}

// A fresh folder named after `base` inside `parent`; "" when none can be made.
std::string makeTemporaryFolder(const fs::path& parent, const std::string& base) {
    std::string pattern = (parent / ("." + base + ".drg-XXXXXX")).string();
    return ::mkdtemp(pattern.data()) ? pattern : "";
}

dev_t deviceOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_dev : 0;
}

}  // namespace

StagedFolder::~StagedFolder() {
    {
        std::lock_guard moves(moving_);  // not while a stop removes it
        removeStaging();
    }
    stopWatch_.reset();
}

void StagedFolder::removeStaging() {
    if (staging_.empty() || keep_) return;
    std::error_code ignored;
    fs::remove_all(staging_, ignored);
}

bool StagedFolder::open(const std::string& target, std::string* problem) {
    target_ = target;
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(target.empty() ? "." : target, error), error);
    if (error) {
        *problem = printable(target) + ": cannot be resolved: " + error.message();
        return false;
    }
    if (!resolved.has_filename()) resolved = resolved.parent_path();
    resolved_ = resolved.string();
    const bool exists = fs::exists(resolved, error);
    if (exists && !fs::is_directory(resolved, error)) {
        *problem = printable(target) + ": is not a folder";
        return false;
    }
    // A link whose folder is gone would take the files into nowhere: every
    // rename through it fails, and the message would name a file, not the link.
    if (!exists && fs::is_symlink(resolved, error)) {
        *problem = printable(target) + ": is a link to " + printable(fs::read_symlink(resolved, error).string()) +
                   ", which does not exist";
        return false;
    }
    const fs::path parent = resolved.parent_path();
    fs::create_directories(parent, error);
    if (error) {
        // Named as the user wrote it, when the path has a parent at all.
        const fs::path typed = fs::path(target).parent_path();
        *problem = printable(typed.empty() ? parent.string() : typed.string()) + ": cannot be created: " + error.message();
        return false;
    }
    const std::string base = resolved.filename().string();
    staging_ = makeTemporaryFolder(parent, base);
    // Beside a mount point is another file system, where no rename reaches:
    // then the staging folder goes inside the target.
    if (exists && (staging_.empty() || deviceOf(staging_) != deviceOf(resolved_))) {
        if (!staging_.empty()) fs::remove(staging_, error);
        staging_ = makeTemporaryFolder(resolved, base);
    }
    if (staging_.empty()) {
        *problem = printable(target) + ": no temporary folder can be made beside it: " + lastError();
        return false;
    }
    // Ctrl-C, a service manager's stop or a closed terminal while the new
    // files are written would leave them in a hidden folder beside the
    // target, as large as a release and its records.
    stopWatch_.emplace(std::initializer_list<int>{SIGINT, SIGTERM, SIGHUP}, [this] {
        std::lock_guard moves(moving_);
        stopped_ = true;
        removeStaging();
    });
    return true;
}

bool StagedFolder::commit(const std::vector<std::string>& names, std::string* problem, bool* unchanged,
                          const std::vector<std::string>& removed) {
    // A stop that ended the program among the moves would leave the target
    // half old, half new: the watcher waits until they are over.
    std::lock_guard moves(moving_);
    if (stopped_) {
        *unchanged = true;
        *problem = printable(target_) + ": stopped before its files were replaced; it is unchanged";
        return false;
    }
    const bool moved = moveIntoPlace(names, problem, unchanged, removed);
    removeStaging();
    return moved;
}

bool StagedFolder::moveIntoPlace(const std::vector<std::string>& names, std::string* problem, bool* unchanged,
                                 const std::vector<std::string>& removed) {
    *unchanged = true;
    auto fail = [&](const std::string& name, const std::string& what) {
        *problem = printable(name.empty() ? target_ : joinPath(target_, name)) + ": " + what;
        return false;
    };
    for (const auto& name : names)
        if (!flushToDisk(staging_ + "/" + name)) return fail(name, "cannot be flushed to disk: " + lastError());
    // Only files are replaced or removed; a folder of the same name holds someone's work.
    std::vector<std::string> touched = names;
    touched.insert(touched.end(), removed.begin(), removed.end());
    for (const auto& name : touched) {
        struct stat info {};
        if (::lstat((resolved_ + "/" + name).c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
            return fail(name, "is not a file, so it is not replaced or removed");
    }
    const bool created = ::mkdir(resolved_.c_str(), 0777) == 0;
    if (!created && errno != EEXIST) return fail("", "cannot be created: " + lastError());
    const std::string backup = staging_ + "/.old";
    if (::mkdir(backup.c_str(), 0700) != 0) return fail("", "no temporary folder can be made: " + lastError());

    struct Moved {
        std::string name;
        bool replacedOld;
    };
    std::vector<Moved> moved;
    std::string failure;
    for (const auto& name : names) {
        const std::string destination = resolved_ + "/" + name, old = backup + "/" + name;
        const bool hadOld = ::rename(destination.c_str(), old.c_str()) == 0;
        if (!hadOld && errno != ENOENT) {
            failure = name + ": cannot be replaced: " + lastError();
            break;
        }
        if (::rename((staging_ + "/" + name).c_str(), destination.c_str()) != 0) {
            failure = name + ": cannot be replaced: " + lastError();
            if (hadOld) moved.push_back({name, true});  // only the old file to put back
            break;
        }
        moved.push_back({name, hadOld});
    }
    // A removed file goes where the replaced ones go, and comes back with them.
    for (size_t i = 0; failure.empty() && i < removed.size(); ++i) {
        const std::string& name = removed[i];
        if (::rename((resolved_ + "/" + name).c_str(), (backup + "/" + name).c_str()) == 0)
            moved.push_back({name, true});
        else if (errno != ENOENT)
            failure = name + ": cannot be removed: " + lastError();
    }
    if (failure.empty()) {
        flushToDisk(resolved_);
        return true;
    }
    // Put back what was moved, newest first.
    std::string notRestored;
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
        const std::string destination = resolved_ + "/" + it->name;
        const bool restored = it->replacedOld ? ::rename((backup + "/" + it->name).c_str(), destination.c_str()) == 0
                                              : ::unlink(destination.c_str()) == 0 || errno == ENOENT;
        if (!restored) notRestored += (notRestored.empty() ? "" : ", ") + it->name;
    }
    if (created) ::rmdir(resolved_.c_str());
    *problem = printable(joinPath(target_, failure));
    if (notRestored.empty()) {
        *problem += "; " + printable(target_) + " is unchanged";
    } else {
        *unchanged = false;
        keep_ = true;
        *problem += "; " + printable(notRestored) + " could not be put back, the old files are in " + printable(backup);
    }
    return false;
}

}  // namespace drg::source
