#pragma once
// The DRG grouper as a library.
//
// A release is the 22 table files of one classification release, opened
// once and never changed afterwards. A worker groups records against one
// release with a per-record state of its own.
//
// Thread safety:
// - A release is immutable once opened: any number of workers, on any
//   number of threads, may group against it at the same time, without locks.
//   It stays alive as long as a worker or a caller holds it.
// - A worker belongs to one thread at a time: make one worker per thread.
//   Workers never share state with each other.
// - Grouping never throws and never allocates; only opening a release,
//   creating a worker and the std::string conveniences allocate.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "drg/export.h"

namespace drg {

struct Release;      // one opened release (opaque)
struct ClaimState;   // one worker's per-record state (opaque)
struct Explanation;  // drg/explain.h

// How opening a release ended, with the values the batch program's loader uses.
enum class LoadStatus {
    Ok = 0,
    InitError = -1,   // a file is missing, short, unreadable or holds values out of bounds
    CountError = -2,  // a count differs from the table it must match
};

struct OpenedRelease {
    std::shared_ptr<const Release> release;  // set exactly when `status` is Ok
    LoadStatus status = LoadStatus::InitError;
    std::string reason;  // the file and the field at fault, when refused
};

// Loads the 22 table files from `directory`.
DRG_API OpenedRelease openRelease(const std::string& directory);

// Whether records can be grouped against the release: false when its
// condition kinds disagree with the grouper's built-in derived conditions,
// in which case every record is refused. `reason` receives the condition at
// fault.
DRG_API bool releaseGroupsRecords(const Release& release, std::string* reason = nullptr);

enum class GroupStatus {
    Ok = 0,
    Refused = -1,   // the release's condition kinds disagree with the derived conditions
    TooShort = -2,  // groupRecord was given fewer than 305 bytes
};

// The result columns of a grouped record, as written into it.
struct GroupResult {
    char mdc[4] = "000";
    char adrg[5] = "0000";
    char drg[7] = "000000";
    int pccl = 0;
};

class DRG_API Worker {
public:
    // A record is at least this many bytes; shorter lines are padded with blanks.
    static constexpr size_t kRecordLength = 305;

    // Throws std::invalid_argument for a null release (one that did not
    // open). A worker that was moved from may only be assigned or destroyed.
    explicit Worker(std::shared_ptr<const Release> release);
    ~Worker();
    Worker(Worker&&) noexcept;
    Worker& operator=(Worker&&) noexcept;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Groups the record in place: `record` holds `length` bytes (at least 305,
    // without a line end), is upper-cased and gets its result columns 283-304.
    GroupStatus groupRecord(char* record, size_t length, GroupResult* result = nullptr) noexcept;

    // The number of bytes groupLine writes for an input line: the line, padded
    // to 305 bytes before its line end when shorter.
    static size_t groupedLength(const char* line, size_t length) noexcept;

    // Writes the output line of one input line (any length, with or without
    // its line end "\n" or "\r\n") into `out`, which has room for
    // groupedLength(line, length) bytes: exactly the bytes the batch program
    // writes for that line. `out` may overlap `line`, as when a line is
    // grouped in its own buffer; `line` may be null when `length` is 0.
    GroupStatus groupLine(const char* line, size_t length, char* out, GroupResult* result = nullptr) noexcept;

    // The same into a string (which may allocate); `line` may lie in `out`.
    GroupStatus groupLine(std::string_view line, std::string& out, GroupResult* result = nullptr);

    // Groups one input line as groupLine does and tells how its result came
    // about (drg/explain.h). Slower than groupLine; allocates, and throws
    // std::bad_alloc when memory runs out.
    GroupStatus explainLine(std::string_view line, Explanation& explanation);

    const std::shared_ptr<const Release>& release() const { return release_; }

private:
    std::shared_ptr<const Release> release_;
    std::unique_ptr<ClaimState> state_;
};

}  // namespace drg
