#pragma once
// One record through the whole pipeline, results written into its columns.

#include <cstddef>

#include "conditions/claim_state.h"
#include "tables/table_set.h"

namespace drg {

// The date stamp written into every output record.
inline constexpr int kVersionDate = 20130201;

// Groups the record in `record` (at least 305 bytes, upper-cased in place over
// `length` bytes) and overwrites columns 283-304 with MDC, ADRG, PCCL, DRG and
// the date stamp. Returns -1 (after printing the console line) when the
// condition table disagrees with the built-in derived conditions.
int groupRecord(ClaimState& state, const TableSet& tables, char* record, size_t length);

// Copies a table text of `width` characters into a result column: the text
// stops at a NUL, and the rest of the column is filled with blanks.
void writeResultText(char* column, const char* text, int width);

}  // namespace drg
