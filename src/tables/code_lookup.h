#pragma once
// Code ids for the texts of a record's code slots, and group texts by index.

#include <cstdint>

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

}  // namespace drg
