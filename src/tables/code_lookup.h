#pragma once
// Code ids for the texts of a record's code slots, and group texts by index.

#include <cstdint>

#include "tables/table_set.h"

namespace drg {

inline constexpr int kDiagnosisSlots = 10;   // slots 1..10
inline constexpr int kLastSlot = 46;         // slots 11..46 are procedures
inline constexpr int kDiagnosisCodeWidth = 6;
inline constexpr int kProcedureCodeWidth = 5;

// Compares at most n bytes as unsigned characters, stopping where both
// texts hold a NUL (the bounded C string comparison).
int boundedCompare(const char* a, const char* b, int n);

// Binary search over the open interval (0, N) of the index that the slot
// number chooses: slots 1..10 search the diagnoses, 11..46 the procedures.
// Position 0 is never compared; not found gives 0.
int16_t lookupCode(const TableSet& tables, const char* slotText, int slot);

}  // namespace drg
