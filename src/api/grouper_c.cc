#include "drg/grouper_c.h"

#include <cstring>
#include <new>
#include <string>

#include "drg/grouper.h"

struct drg_release {
    std::shared_ptr<const drg::Release> release;
};

struct drg_worker {
    drg::Worker worker;
};

namespace {

thread_local std::string lastError;

int fail(int status, std::string text) {
    lastError = std::move(text);
    return status;
}

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
    std::string reason;
    drg::releaseGroupsRecords(*worker->worker.release(), &reason);
    return fail(DRG_REFUSED, reason);
}

}  // namespace

extern "C" {

int drg_release_open(const char* directory, drg_release** release) {
    if (!directory || !release) return fail(DRG_INVALID_ARGUMENT, "drg_release_open: a null argument");
    *release = nullptr;
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
    if (!release || !worker) return fail(DRG_INVALID_ARGUMENT, "drg_worker_new: a null argument");
    *worker = nullptr;
    try {
        *worker = new drg_worker{drg::Worker(release->release)};
    } catch (const std::bad_alloc&) {
        return fail(DRG_OUT_OF_MEMORY, "out of memory while creating a worker");
    }
    return DRG_OK;
}

void drg_worker_free(drg_worker* worker) { delete worker; }

size_t drg_grouped_length(const char* line, size_t length) {
    return line ? drg::Worker::groupedLength(line, length) : drg::Worker::kRecordLength;
}

int drg_group_line(drg_worker* worker, const char* line, size_t length, char* out, size_t capacity,
                   size_t* written, drg_result* result) {
    if (!worker || (!line && length > 0) || !out || !written)
        return fail(DRG_INVALID_ARGUMENT, "drg_group_line: a null argument");
    const char* text = line ? line : "";
    const size_t needed = drg::Worker::groupedLength(text, length);
    if (capacity < needed)
        return fail(DRG_BUFFER_TOO_SMALL, "the output needs " + std::to_string(needed) + " bytes");
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

const char* drg_last_error(void) { return lastError.c_str(); }

const char* drg_library_version(void) { return "1.0"; }

}  // extern "C"
