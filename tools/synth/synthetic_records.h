#pragma once
// Hospital-stay records for a synthetic release: 1 to 10 diagnoses and up to
// 20 procedures, effective dates over every table version (cut dates and the
// days before them included), ages from newborns with birth weights to 100
// years, ventilation hours, dagger/asterisk pairs, and a share of codes the
// release does not know, of lower-case codes and of malformed fields. The
// same seed gives the same records; the first records do not depend on how
// many follow.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "record/record_layout.h"
#include "synth/synth_model.h"
#include "synth/synth_random.h"

namespace drg::synth {

inline constexpr size_t kLineLength = kRecordLength + 1;  // the record and its line feed

class RecordGenerator {
public:
    RecordGenerator(const CodeCatalog& catalog, uint64_t seed);

    // Writes the next record, kLineLength bytes, into `line`.
    void next(char* line);

private:
    void writeDiagnoses(char* line, int count, bool young, bool mayBePregnant);
    void writeProcedures(char* line, int count, int mdc);
    uint32_t relatedDiagnosis(uint32_t principal);

    const CodeCatalog& catalog_;
    SynthRandom random_;
    uint64_t number_ = 0;
    std::vector<int> mdcOfDiagnosis_;
    std::vector<uint32_t> newbornCodes_, pregnancyCodes_, nonSurgical_, cutDays_;
    int principalMdc_ = 0;
};

// Writes `count` records to `out`; false when writing fails.
bool writeRecords(const CodeCatalog& catalog, uint64_t seed, uint64_t count, std::FILE* out);

}  // namespace drg::synth
