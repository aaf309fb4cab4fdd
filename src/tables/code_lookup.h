#pragma once
// Code ids for the texts of a record's code slots, and group texts by index.

#include <cstdint>
#include <cstring>

#include "record/record_layout.h"
#include "tables/table_set.h"

namespace drg {

// Compares at most n bytes as unsigned characters, stopping where both
// texts hold a NUL (the bounded C string comparison).
int boundedCompare(const char* a, const char* b, int n);

// Binary search over the open interval (0, N) of the index that the slot
// number chooses: slots 1..10 search the diagnoses, 11..46 the procedures.
// Position 0 is never compared; not found gives 0.
int16_t lookupCode(const TableSet& tables, const char* slotText, int slot);

// A word of the type's size from p, in the machine's byte order.
template <class Word>
uint64_t loadWord(const char* p) {
    Word word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The `Width` bytes at p as a number, the first byte lowest. Read in pieces
// of 4, 2 and 1 bytes joined in a register: copying an odd width into a
// wider variable goes through memory, and the wide read of the narrow stores
// waits until they have left the store queue.
template <int Width>
uint64_t littleEndianText(const char* p) {
    static_assert(Width >= 1 && Width <= 8);
    if constexpr (Width == 8) return loadWord<uint64_t>(p);
    else if constexpr (Width == 4) return loadWord<uint32_t>(p);
    else if constexpr (Width == 2) return loadWord<uint16_t>(p);
    else if constexpr (Width == 1) return loadWord<uint8_t>(p);
    else {
        constexpr int kHead = Width > 4 ? 4 : 2;
        return littleEndianText<kHead>(p) | littleEndianText<Width - kHead>(p + kHead) << (8 * kHead);
    }
}

// The same `Width` bytes with the first byte highest: comparing two such
// numbers compares the texts byte by byte as unsigned characters.
template <int Width>
uint64_t bigEndianOf(uint64_t littleEndian) {
    return __builtin_bswap64(littleEndian) >> (8 * (8 - Width));
}

template <int Width>
uint64_t bigEndianText(const char* p) {
    return bigEndianOf<Width>(littleEndianText<Width>(p));
}

}  // namespace drg
