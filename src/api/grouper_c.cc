#include "drg/grouper_c.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "drg/grouper.h"

struct drg_release {
    std::shared_ptr<const drg::Release> release;
};

struct drg_worker {
    drg::Worker worker;
    // Why the release refuses every record, found once so that a refusal
    // needs no allocation; "" when it groups them.
    std::string refusal;
};

namespace {

// A fixed buffer, so that a failure allocates nothing and no exception can
// leave a C function; a longer text is cut.
thread_local char lastError[4096];

int fail(int status, const char* text) {
    std::snprintf(lastError, sizeof lastError, "%s", text);
    return status;
}

int fail(int status, const std::string& text) { return fail(status, text.c_str()); }

void copyResult(const drg::GroupResult& from, drg_result* to) {
    if (!to) return;
    std::memcpy(to->mdc, from.mdc, sizeof to->mdc);
    std::memcpy(to->adrg, from.adrg, sizeof to->adrg);
    std::memcpy(to->drg, from.drg, sizeof to->drg);
    to->pccl = from.pccl;
}

int groupStatus(drg::GroupStatus status, drg_worker* worker) {
    switch (status) {
    case drg::GroupStatus::Ok: return DRG_OK;
    case drg::GroupStatus::TooShort: return fail(DRG_INVALID_ARGUMENT, "a record holds at least 305 bytes");
    case drg::GroupStatus::Refused: break;
    }
    return fail(DRG_REFUSED, worker->refusal);
}

}  // namespace

extern "C" {

int drg_release_open(const char* directory, drg_release** release) {
    if (release) *release = nullptr;
    if (!directory || !release) return fail(DRG_INVALID_ARGUMENT, "drg_release_open: a null argument");
    try {
        drg::OpenedRelease opened = drg::openRelease(directory);
        if (opened.status != drg::LoadStatus::Ok)
            return fail(opened.status == drg::LoadStatus::CountError ? DRG_COUNT_ERROR : DRG_INIT_ERROR,
                        opened.reason);
        *release = new drg_release{std::move(opened.release)};
    } catch (const std::bad_alloc&) {
        return fail(DRG_OUT_OF_MEMORY, "out of memory while opening the release");
    }
    return DRG_OK;
}

void drg_release_close(drg_release* release) { delete release; }

int drg_worker_new(const drg_release* release, drg_worker** worker) {
    if (worker) *worker = nullptr;
    if (!release || !worker) return fail(DRG_INVALID_ARGUMENT, "drg_worker_new: a null argument");
    try {
        std::string refusal;
        drg::releaseGroupsRecords(*release->release, &refusal);
        *worker = new drg_worker{drg::Worker(release->release), std::move(refusal)};
    } catch (const std::bad_alloc&) {
        return fail(DRG_OUT_OF_MEMORY, "out of memory while creating a worker");
    }
    return DRG_OK;
}

void drg_worker_free(drg_worker* worker) { delete worker; }

size_t drg_grouped_length(const char* line, size_t length) {
    if (!line) return length == 0 ? drg::Worker::kRecordLength : 0;  // as drg_group_line takes them
    return drg::Worker::groupedLength(line, length);
}

int drg_group_line(drg_worker* worker, const char* line, size_t length, char* out, size_t capacity,
                   size_t* written, drg_result* result) {
    if (!worker || (!line && length > 0) || !out || !written)
        return fail(DRG_INVALID_ARGUMENT, "drg_group_line: a null argument");
    const char* text = line ? line : "";
    const size_t needed = drg::Worker::groupedLength(text, length);
    if (capacity < needed) {
        std::snprintf(lastError, sizeof lastError, "the output needs %zu bytes", needed);
        return DRG_BUFFER_TOO_SMALL;
    }
    drg::GroupResult grouped;
    const int status = groupStatus(worker->worker.groupLine(text, length, out, &grouped), worker);
    if (status != DRG_OK) return status;
    *written = needed;
    copyResult(grouped, result);
    return DRG_OK;
}

int drg_group_record(drg_worker* worker, char* record, size_t length, drg_result* result) {
    if (!worker || !record) return fail(DRG_INVALID_ARGUMENT, "drg_group_record: a null argument");
    drg::GroupResult grouped;
    const int status = groupStatus(worker->worker.groupRecord(record, length, &grouped), worker);
    if (status != DRG_OK) return status;
    copyResult(grouped, result);
    return DRG_OK;
}

const char* drg_last_error(void) { return lastError; }

const char* drg_library_version(void) { return "1.0"; }

}  // extern "C"
