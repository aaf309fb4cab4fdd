#include "drg/grouper.h"

#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>

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

void readResult(const char* record, GroupResult* result) {
    if (!result) return;
    copyColumn(result->mdc, record, kMdcOut);
    copyColumn(result->adrg, record, kAdrgOut);
    copyColumn(result->drg, record, kDrgOut);
    result->pccl = record[kPcclOut.offset] - '0';
}

GroupStatus statusOf(int grouped) { return grouped == kGroupOk ? GroupStatus::Ok : GroupStatus::Refused; }

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
    const GroupStatus status = statusOf(drg::groupRecord(*state_, *release_, record, length));
    if (status == GroupStatus::Ok) readResult(record, result);
    return status;
}

size_t Worker::groupedLength(const char* line, size_t length) noexcept { return groupedLineLength(line, length); }

GroupStatus Worker::groupLine(const char* line, size_t length, char* out, GroupResult* result) noexcept {
    const GroupStatus status = statusOf(drg::groupLine(*state_, *release_, line, length, out));
    if (status == GroupStatus::Ok) readResult(out, result);
    return status;
}

GroupStatus Worker::groupLine(std::string_view line, std::string& out, GroupResult* result) {
    out.resize(groupedLength(line.data(), line.size()));
    return groupLine(line.data(), line.size(), out.data(), result);
}

}  // namespace drg
