#pragma once
// A made-up classification release at national scale, the same for the same
// seed on every machine: about 14,800 diagnoses, 7,000 procedures, 995
// conditions, 26 MDCs, 397 ADRGs, 1,079 refined codes, six decision table
// versions, three of levels and of exclusions.

#include <cstdint>

#include "synth/synth_model.h"
#include "tables/table_set.h"

namespace drg::synth {

struct SyntheticRelease {
    CodeCatalog catalog;  // what the record generator draws from
    GroupPlan groups;
    TableSet tables;  // ready for writeTableFiles
};

SyntheticRelease makeSyntheticRelease(uint64_t seed);

}  // namespace drg::synth
