#pragma once
// The worker of a grouping run: turns a job of input lines into the output
// lines the batch writes, with a claim state of its own against the shared
// release.

#include <cstddef>

#include "batch/line_pipeline.h"
#include "conditions/claim_state.h"
#include "engine/release.h"

namespace drg {

// Told of every record a worker grouped, on that worker's thread.
class RecordObserver {
public:
    virtual ~RecordObserver() = default;
    // `record` is the output record (result columns written), `length` its
    // length without the line end.
    virtual void recordGrouped(const ClaimState& state, const char* record, size_t length) = 0;
};

class GroupingWorker final : public JobWorker {
public:
    explicit GroupingWorker(const Release& release, RecordObserver* observer = nullptr);
    void process(Job& job) override;

private:
    const Release& release_;
    RecordObserver* observer_;
    ClaimState state_;
};

// The number of records of a job that were grouped: all of them, or those
// before the refused one.
uint32_t groupedRecords(const Job& job);

}  // namespace drg
