#pragma once
// How large the table tools let a file grow before they stop and ask for
// --allow-large: every source file read (in bytes and in rows), every table
// file dumped, every file written and the complication level matrix, whose
// size is distinct level profiles times ADRG columns and so can outgrow its
// source many times over.

#include <cstdint>
#include <limits>
#include <string>

namespace drg::source {

inline constexpr uint64_t kLargeFileBytes = uint64_t{256} << 20;
inline constexpr uint64_t kNoSizeLimit = std::numeric_limits<uint64_t>::max();
// Rows of one source file: a short row takes some forty times its bytes in
// memory, so the byte limit alone does not bound it. Real releases stay far
// below.
inline constexpr size_t kLargeRowCount = size_t{1} << 20;
inline constexpr size_t kNoRowLimit = std::numeric_limits<size_t>::max();

inline uint64_t sizeLimit(bool allowLarge) { return allowLarge ? kNoSizeLimit : kLargeFileBytes; }
inline size_t rowLimit(bool allowLarge) { return allowLarge ? kNoRowLimit : kLargeRowCount; }

// "12.3 MiB"
std::string mebibytes(uint64_t bytes);

}  // namespace drg::source
