#pragma once
// One record through the whole pipeline, results written into its columns,
// and one input line turned into the output line the batch writes for it.

#include <cstddef>

#include "conditions/claim_state.h"
#include "engine/release.h"

namespace drg {

// The date stamp written into every output record.
inline constexpr int kVersionDate = 20130201;

inline constexpr int kGroupOk = 0;
inline constexpr int kGroupLogicError = -1;  // the condition kinds disagree with the derived conditions

// Groups the record in `record` (at least 305 bytes, upper-cased in place over
// `length` bytes) and overwrites columns 283-304 with MDC, ADRG, PCCL, DRG and
// the date stamp. Returns kGroupLogicError, leaving the result columns as
// they were, when the release's condition kinds disagree with the built-in
// derived conditions.
int groupRecord(ClaimState& state, const Release& release, char* record, size_t length);

// Copies a table text of `width` characters into a result column: the text
// stops at a NUL, and the rest of the column is filled with blanks.
void writeResultText(char* column, const char* text, int width);

// The length of the line end (0, 1 for "\n", 2 for "\r\n") of an input line.
size_t lineEndLength(const char* line, size_t length);

// The number of bytes the output of an input line takes: a line shorter than
// the record is padded with blanks to 305 bytes before its line end.
size_t groupedLineLength(const char* line, size_t length);

// Writes the output of one input line (with its line end, if any; any length)
// into `out`, which has room for groupedLineLength bytes: the line padded,
// upper-cased and grouped, its line end kept. Returns groupRecord's result;
// on kGroupLogicError `out` holds no meaningful line.
int groupLine(ClaimState& state, const Release& release, const char* line, size_t length, char* out);

}  // namespace drg
