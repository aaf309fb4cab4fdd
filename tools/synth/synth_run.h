#pragma once
// A folder that drg-batch can run in: the 22 table files of a synthetic
// release and its records as "valtic.in".

#include <cstdint>
#include <string>

namespace drg::synth {

struct SynthRunCounts {
    int diagnoses = 0, procedures = 0, conditions = 0, mdcs = 0, adrgs = 0, refinedCodes = 0;
    uint64_t records = 0;
};

// Creates `directory` when missing. Replaces only its table files and
// valtic.in, and all of them or none: false with `problem` set when a file
// cannot be written or replaced, `directory` then as it was.
bool writeSyntheticRun(uint64_t seed, uint64_t records, const std::string& directory, std::string* problem,
                       SynthRunCounts* counts = nullptr);

}  // namespace drg::synth
