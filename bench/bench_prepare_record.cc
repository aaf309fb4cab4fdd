// Cost of preparing one record: numeric fields, code lookup, repeated
// diagnoses, the dagger/asterisk exchange, code and derived conditions, and
// the reset of what the record before touched. One iteration is one record,
// so the time per iteration is the time per record.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conditions/derived_conditions.h"
#include "conditions/prepare_record.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

constexpr int kConditionCount = 900;
constexpr int kCodes = 300;

std::string diagnosisCode(int i) { return "D" + std::to_string(1000 + i); }
std::string procedureCode(int i) { return "P" + std::to_string(1000 + i); }

// A few hundred codes of each kind, three or four dated entries each; one
// code in ten feeds the derived rules (hit counts, flag groups, procedures
// of kind 357 with and without the conditions that exclude them).
TableBuilder benchRelease() {
    std::mt19937 random(1);
    std::vector<int> ordinaryConditions;  // every number the derived rules do not own
    for (int c = 1; c < kConditionCount; ++c)
        if (!isDerivedCondition(c)) ordinaryConditions.push_back(c);
    auto ordinary = [&] { return ordinaryConditions[random() % ordinaryConditions.size()]; };
    TableBuilder b;
    b.conditionCount(kConditionCount);
    const std::vector<int> feeders = {602, 603, 621, 387, 389, 391, 399, 400, 404, 405, 409, 410, 13, 15, 850};
    for (int i = 0; i < kCodes; ++i) {
        const std::string dx = diagnosisCode(i), px = procedureCode(i);
        for (int e = 0; e < 3; ++e) b.diagnosisCondition(dx, ordinary(), {20000101, 20991231});
        b.diagnosisCondition(dx, ordinary(), {20000101, 20111231});  // ran out before the records
        if (i % 10 == 0) b.diagnosisCondition(dx, feeders[static_cast<size_t>(i / 10) % feeders.size()]);
        b.procedureCondition(px, ordinary());
        b.procedureCondition(px, ordinary());
        if (i % 3 == 0) b.procedureCondition(px, 357);
        if (i % 6 == 0) b.procedureCondition(px, 743 + i % 5);
        if (i % 4 == 0) b.daggerPair(dx, diagnosisCode((i + 1) % kCodes), {20100101, 20991231});
    }
    return b;
}

std::vector<std::string> benchRecords(bool rich, bool sparse) {
    std::mt19937 random(2);
    std::vector<std::string> records;
    for (int r = 0; r < 1000; ++r) {
        const bool full = rich && (!sparse || r % 2 == 0);
        RecordBuilder line = RecordBuilder().birthDate("500615").sex(r % 2 ? '1' : '2').date("20120615");
        line.stayDays(std::to_string(random() % 20)).status("1").birthWeight("     ").ventilation("   30");
        const int diagnoses = full ? 10 : 1 + static_cast<int>(random() % 2);
        const int procedures = full ? 20 : static_cast<int>(random() % 2);
        for (int s = 1; s <= diagnoses; ++s) line.slot(s, diagnosisCode(static_cast<int>(random() % kCodes)));
        for (int s = 11; s < 11 + procedures; ++s) line.slot(s, procedureCode(static_cast<int>(random() % kCodes)));
        records.push_back(line.text());
    }
    return records;
}

void prepareRecords(benchmark::State& run, bool rich, bool sparse, bool fullClear) {
    LoadedRelease release{benchRelease()};
    const std::vector<std::string> records = benchRecords(rich, sparse);
    std::string buffer = records[0];
    size_t next = 0;
    for (auto _ : run) {
        const std::string& record = records[next];
        next = next + 1 == records.size() ? 0 : next + 1;
        std::memcpy(buffer.data(), record.data(), record.size());
        if (fullClear) {
            ConditionFlags& f = release.state.conditions;
            std::fill(f.flag.begin(), f.flag.end(), 0);
            std::fill(f.hitCount.begin(), f.hitCount.end(), 0);
            std::fill(f.slotConditions.begin(), f.slotConditions.end(), 0);
        }
        const int result = release.prepare(buffer);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(release.state.conditions.flag.data());
        if (result != kPrepareOk) {
            run.SkipWithError("record preparation failed");
            break;
        }
    }
    run.SetItemsProcessed(run.iterations());
}

void BM_PrepareRichRecords(benchmark::State& run) { prepareRecords(run, true, false, false); }
void BM_PrepareSparseRecords(benchmark::State& run) { prepareRecords(run, false, true, false); }
void BM_PrepareMixedRecords(benchmark::State& run) { prepareRecords(run, true, true, false); }
// The same mix with every condition array cleared whole before each record,
// for comparison with the reset of only what the record before touched.
void BM_PrepareMixedRecordsFullClear(benchmark::State& run) { prepareRecords(run, true, true, true); }

// The derived rules alone on the state of one prepared record (the rules
// only raise flags, so repeating them is safe).
void deriveOnly(benchmark::State& run, const RecordBuilder& line) {
    LoadedRelease release{benchRelease()};
    std::string record = line.text();
    if (release.prepare(record) != kPrepareOk) run.SkipWithError("record preparation failed");
    for (auto _ : run) {
        deriveConditions(release.state);
        benchmark::DoNotOptimize(release.state.conditions.flag.data());
    }
}

// Twenty procedures, every third of kind 357, some of those also 743..746.
void BM_DeriveConditionsRichRecord(benchmark::State& run) {
    RecordBuilder line = RecordBuilder().birthDate("500615").sex('1').date("20120615").stayDays("004");
    for (int s = 1; s <= 10; ++s) line.slot(s, diagnosisCode(s * 7));
    for (int s = 11; s <= 30; ++s) line.slot(s, procedureCode(s - 11));
    deriveOnly(run, line);
}

// Thirty-one procedures of kind 357 that all hold 743: the test for 805
// looks at every row.
void BM_DeriveConditionsEveryRowExcluded(benchmark::State& run) {
    RecordBuilder line = RecordBuilder().birthDate("500615").sex('1').date("20120615").stayDays("004");
    for (int s = 11; s <= 41; ++s) line.slot(s, procedureCode(0));
    deriveOnly(run, line);
}

// One diagnosis, no procedure.
void BM_DeriveConditionsSparseRecord(benchmark::State& run) {
    deriveOnly(run, RecordBuilder().birthDate("500615").sex('1').date("20120615").slot(1, diagnosisCode(5)));
}

BENCHMARK(BM_DeriveConditionsRichRecord)->MinTime(0.3);
BENCHMARK(BM_DeriveConditionsEveryRowExcluded)->MinTime(0.3);
BENCHMARK(BM_DeriveConditionsSparseRecord)->MinTime(0.3);
BENCHMARK(BM_PrepareRichRecords)->MinTime(0.3);
BENCHMARK(BM_PrepareSparseRecords)->MinTime(0.3);
BENCHMARK(BM_PrepareMixedRecords)->MinTime(0.3);
BENCHMARK(BM_PrepareMixedRecordsFullClear)->MinTime(0.3);

}  // namespace
}  // namespace drg::testing

BENCHMARK_MAIN();
