#include "drg/grouper.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>

#include "api/group_result.h"
#include "engine/record_grouping.h"
#include "engine/release.h"
#include "record/record_layout.h"
#include "tables/condition_kinds.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"

namespace drg {
namespace {

void copyColumn(char* target, const char* record, RecordField field) {
    std::memcpy(target, record + field.offset, static_cast<size_t>(field.width));
    target[field.width] = '\0';
}

// Whether a folder without table files holds the readable source of a
// release instead, a likely mix-up of the two folders.
bool holdsTableSource(const std::string& directory) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = directory.empty() ? "." : directory;
    if (fs::exists(folder / kTableFileNames[0], error)) return false;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == ".tsv") return true;
    return false;
}

}  // namespace

GroupStatus groupStatusOf(int grouped) { return grouped == kGroupOk ? GroupStatus::Ok : GroupStatus::Refused; }

void readGroupResult(const char* record, GroupResult* result) {
    if (!result) return;
    copyColumn(result->mdc, record, kMdcOut);
    copyColumn(result->adrg, record, kAdrgOut);
    copyColumn(result->drg, record, kDrgOut);
    result->pccl = record[kPcclOut.offset] - '0';
}

OpenedRelease openRelease(const std::string& directory) {
    OpenedRelease opened;
    auto release = std::make_shared<Release>();
    const int loaded = loadRelease(*release, directory, &opened.reason);
    opened.status = static_cast<LoadStatus>(loaded);
    if (loaded == kLoadOk) opened.release = std::move(release);
    else if (holdsTableSource(directory))
        opened.reason += "; the folder holds a table source (.tsv files), which drg tables build makes table files of";
    return opened;
}

bool releaseGroupsRecords(const Release& release, std::string* reason) {
    if (release.conditionKindMismatch < 0) return true;
    if (reason) *reason = conditionKindMismatchText(release.tables.conditions, release.conditionKindMismatch);
    return false;
}

Worker::Worker(std::shared_ptr<const Release> release) : release_(std::move(release)) {
    if (!release_) throw std::invalid_argument("drg::Worker needs an opened release, not a null one");
    state_ = std::make_unique<ClaimState>();
    initClaimState(*state_, *release_);
}

Worker::~Worker() = default;
Worker::Worker(Worker&&) noexcept = default;
Worker& Worker::operator=(Worker&&) noexcept = default;

GroupStatus Worker::groupRecord(char* record, size_t length, GroupResult* result) noexcept {
    if (length < kRecordLength) return GroupStatus::TooShort;
    const GroupStatus status = groupStatusOf(drg::groupRecord(*state_, *release_, record, length));
    if (status == GroupStatus::Ok) readGroupResult(record, result);
    return status;
}

size_t Worker::groupedLength(const char* line, size_t length) noexcept { return groupedLineLength(line, length); }

GroupStatus Worker::groupLine(const char* line, size_t length, char* out, GroupResult* result) noexcept {
    const GroupStatus status = groupStatusOf(drg::groupLine(*state_, *release_, line, length, out));
    if (status == GroupStatus::Ok) readGroupResult(out, result);
    return status;
}

GroupStatus Worker::groupLine(std::string_view line, std::string& out, GroupResult* result) {
    const size_t needed = groupedLength(line.data(), line.size());
    // The line may lie in `out` itself: growing `out` may move its bytes, and
    // shrinking it may cut the line's end, so it grows first, the line is
    // found again at its offset, and `out` shrinks once the line is read.
    const std::less<const char*> before;
    if (!line.empty() && !before(line.data(), out.data()) && before(line.data(), out.data() + out.size())) {
        const size_t offset = static_cast<size_t>(line.data() - out.data());
        if (out.size() < needed) out.resize(needed);
        const GroupStatus status = groupLine(out.data() + offset, line.size(), out.data(), result);
        out.resize(needed);
        return status;
    }
    out.resize(needed);
    return groupLine(line.data(), line.size(), out.data(), result);
}

}  // namespace drg
