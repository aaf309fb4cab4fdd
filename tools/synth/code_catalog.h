#pragma once
// The diagnosis and procedure codes of the made-up classification: texts
// that look like real ones, code ids, and the dated conditions each raises.

#include <vector>

#include "synth/synth_model.h"
#include "synth/synth_random.h"

namespace drg::synth {

inline constexpr int kDiagnosisCodes = 14800;
inline constexpr int kProcedureCodes = 7000;
inline constexpr int kDaggerPairs = 3400;

// Diagnosis features typical of an MDC: its codes raise them more often than
// others, and its decision rows read them.
std::vector<int> typicalFeatures(int mdc);

CodeCatalog makeCodeCatalog(SynthRandom& random);

}  // namespace drg::synth
