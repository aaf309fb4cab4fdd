// Cost per record of each step of the pipeline on the national-scale
// synthetic release (the one `make bench` times end to end). The stages are
// cumulative, so the difference of two neighbours is the cost of one step:
//   look up codes               upper-case the code slots, look up every code
//   select + prepare            table versions, fields, code lookup, conditions
//   ... + MDC and ADRG          the two decision passes
//   whole record                ... + refinement, levels, exclusions, PCCL, columns
// One iteration is one record of a ring of synthetic records. Each stage runs
// on a ring of 8192 records and on one of 100: the 100 records touch so little
// of the tables that it stays in the cache, so the gap between the two is the
// time a record spends waiting on table reads from memory.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "complexity/cc_exclusion.h"
#include "complexity/complication_levels.h"
#include "conditions/derived_conditions.h"
#include "conditions/prepare_record.h"
#include "engine/record_grouping.h"
#include "engine/release.h"
#include "grouping/decision_tables.h"
#include "record/record_layout.h"
#include "record/upper_case.h"
#include "support/test_files.h"
#include "synth/synthetic_records.h"
#include "synth/synthetic_release.h"
#include "tables/table_loader.h"
#include "tables/table_lookups.h"
#include "tables/table_writer.h"

namespace drg {
namespace {

constexpr size_t kRingRecords = 8192;

// The synthetic release written and loaded back as drg-batch loads it, and
// a ring of its records; made once for every benchmark.
struct SyntheticBench {
    SyntheticBench() {
        synth::SyntheticRelease made = synth::makeSyntheticRelease(1);
        testing::TempDir folder;
        std::string problem;
        if (!writeTableFiles(made.tables, folder.path(), &problem) ||
            loadRelease(release, folder.path(), &problem) != kLoadOk)
            throw std::runtime_error(problem);
        synth::RecordGenerator generator(made.catalog, 1);
        records.resize(kRingRecords * synth::kLineLength);
        for (size_t r = 0; r < kRingRecords; ++r) generator.next(records.data() + r * synth::kLineLength);
    }
    const char* record(size_t r, size_t ring = kRingRecords) const {
        return records.data() + r % ring * synth::kLineLength;
    }
    Release release;
    std::vector<char> records;
};

const SyntheticBench& bench() {
    static const SyntheticBench made;
    return made;
}

enum class Stage { Prepare, Decisions, Whole };

void groupUpTo(benchmark::State& run, Stage stage) {
    const Release& release = bench().release;
    ClaimState state;
    initClaimState(state, release);
    char buffer[synth::kLineLength];
    const auto ring = static_cast<size_t>(run.range(0));
    size_t next = 0;
    for (auto _ : run) {
        std::memcpy(buffer, bench().record(next++, ring), sizeof buffer);
        if (stage == Stage::Whole) {
            benchmark::DoNotOptimize(groupRecord(state, release, buffer, kRecordLength));
            continue;
        }
        const char* date = buffer + kEffectiveDate.offset;
        selectDecisionTable(state, release.tables, date);
        selectExclusionTable(state, release.tables, date);
        selectLevelTable(state, release.tables, date);
        const bool prepared = prepareRecord(state, release.tables, buffer, kRecordLength) == kPrepareOk;
        if (prepared && stage == Stage::Decisions) {
            assignMdc(state);
            if (state.mdcIndex != 0) assignAdrg(state);
        }
        benchmark::DoNotOptimize(state.adrgIndex);
    }
    run.SetItemsProcessed(run.iterations());
}

// Only what every way of grouping must do first: the code slots upper-cased
// and every code that stands in one looked up with its entries.
void BM_LookUpCodes(benchmark::State& run) {
    const Release& release = bench().release;
    char buffer[synth::kLineLength];
    std::array<uint8_t, kSlotCount> slots;
    std::array<int16_t, kSlotCount> ids;
    std::array<CodeEntryRange, kSlotCount> ranges;
    const auto ring = static_cast<size_t>(run.range(0));
    size_t next = 0;
    for (auto _ : run) {
        std::memcpy(buffer, bench().record(next++, ring), sizeof buffer);
        upperCase(buffer + kDiagnosisSlotsField.offset, kDiagnosisSlotsField.width + kProcedureSlotsField.width);
        int count = 0;
        for (int s = 1; s <= kDiagnosisSlots; ++s)
            if (std::memcmp(buffer + codeSlotField(s).offset, "      ", kDiagnosisCodeWidth) != 0)
                slots[static_cast<size_t>(count++)] = static_cast<uint8_t>(s);
        for (int s = kFirstProcedureSlot; s <= kLastSlot; ++s)
            if (std::memcmp(buffer + codeSlotField(s).offset, "     ", kProcedureCodeWidth) != 0)
                slots[static_cast<size_t>(count++)] = static_cast<uint8_t>(s);
        lookupSlotCodes(release.lookups, release.tables, buffer, slots.data(), count, ids.data(), ranges.data());
        benchmark::DoNotOptimize(ids.data());
        benchmark::DoNotOptimize(ranges.data());
    }
    run.SetItemsProcessed(run.iterations());
}

void BM_SelectAndPrepare(benchmark::State& run) { groupUpTo(run, Stage::Prepare); }
void BM_PrepareAndDecisionPasses(benchmark::State& run) { groupUpTo(run, Stage::Decisions); }
void BM_WholeRecord(benchmark::State& run) { groupUpTo(run, Stage::Whole); }

// The derived rules alone, on the prepared state of each record in turn (the
// rules only raise flags, so repeating them on one state is safe).
void BM_DeriveConditions(benchmark::State& run) {
    const Release& release = bench().release;
    std::vector<ClaimState> states(256);
    for (size_t r = 0; r < states.size(); ++r) {
        initClaimState(states[r], release);
        char buffer[synth::kLineLength];
        std::memcpy(buffer, bench().record(r), sizeof buffer);
        selectDecisionTable(states[r], release.tables, buffer + kEffectiveDate.offset);
        prepareRecord(states[r], release.tables, buffer, kRecordLength);
    }
    size_t next = 0;
    for (auto _ : run) {
        ClaimState& state = states[next++ % states.size()];
        deriveConditions(state);
        benchmark::DoNotOptimize(state.conditions.flag.data());
    }
    run.SetItemsProcessed(run.iterations());
}

// Building the lookup aids of a loaded release, once per worker pool. The
// time depends on whether the allocator reuses memory or hands out fresh
// pages, whose first touch faults: glibc maps blocks above its mmap
// threshold apart and unmaps them when freed, and freeing one raises the
// threshold, so it depends on what the process freed before. On the
// development machine: about 1.5 ms against about 12 ms.
void BM_PrepareRelease(benchmark::State& run) {
    for (auto _ : run) {
        Release copy;
        copy.tables = bench().release.tables;
        prepareRelease(copy);
        benchmark::DoNotOptimize(copy.lookups);
    }
}

BENCHMARK(BM_LookUpCodes)->Arg(kRingRecords)->Arg(100)->MinTime(0.5);
BENCHMARK(BM_SelectAndPrepare)->Arg(kRingRecords)->Arg(100)->MinTime(0.5);
BENCHMARK(BM_PrepareAndDecisionPasses)->Arg(kRingRecords)->Arg(100)->MinTime(0.5);
BENCHMARK(BM_WholeRecord)->Arg(kRingRecords)->Arg(100)->MinTime(0.5);
BENCHMARK(BM_DeriveConditions)->MinTime(0.5);
BENCHMARK(BM_PrepareRelease)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace drg

BENCHMARK_MAIN();
