#pragma once
// A release in which one table file holds arbitrary bytes: the first input
// byte picks the file (modulo 22) and the rest replaces its contents. The
// loader must refuse it with a reason, or the tables must group the probe
// records within bounds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "harness/fuzz_release.h"

namespace drg::fuzz {

FuzzOutcome runTableBytes(const uint8_t* data, size_t size);

// Inputs to start from: each file of the small release as it is.
std::vector<std::string> tableBytesSeeds();

}  // namespace drg::fuzz
