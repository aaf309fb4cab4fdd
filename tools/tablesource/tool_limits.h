#pragma once
// How large the table tools let a file grow before they stop and ask for
// --allow-large: every source file read, every table file dumped, every file
// written and the complication level matrix, whose size is distinct level
// profiles times ADRG columns and so can outgrow its source many times over.

#include <cstdint>
#include <limits>
#include <string>

namespace drg::source {

inline constexpr uint64_t kLargeFileBytes = uint64_t{256} << 20;
inline constexpr uint64_t kNoSizeLimit = std::numeric_limits<uint64_t>::max();

inline uint64_t sizeLimit(bool allowLarge) { return allowLarge ? kNoSizeLimit : kLargeFileBytes; }

// "12.3 MiB"
std::string mebibytes(uint64_t bytes);

}  // namespace drg::source
