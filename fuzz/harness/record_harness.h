#pragma once
// One record of arbitrary bytes grouped against the small release: shorter
// input is padded with blanks as the batch program pads a short line. The
// result columns must hold texts of the release (or the zero defaults) and
// nothing else of the line may change but its case.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "harness/fuzz_release.h"

namespace drg::fuzz {

FuzzOutcome runRecord(const uint8_t* data, size_t size);

// Inputs to start from: the probe records.
std::vector<std::string> recordSeeds();

}  // namespace drg::fuzz
