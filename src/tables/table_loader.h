#pragma once
// Loading of the 22 table files in their fixed order, with the count
// cross-checks between files, and the release of everything loaded.

#include <string>

#include "tables/table_set.h"

namespace drg {

inline constexpr int kLoadOk = 0;
inline constexpr int kLoadInitError = -1;   // missing, short, unreadable or out-of-bounds content
inline constexpr int kLoadCountError = -2;  // a count differs from the file it must match

// The fewest conditions that leave room for the built-in derived conditions.
inline constexpr int kMinimumConditionCount = 854;

// Loads every file from `directory`. Returns 0, -1 or -2 and stops at the
// first failure; `problem` (when given) receives one line naming the file and
// the field at fault. Decision rows get their must-be-clear fix-up here, so
// the loaded set is read-only from then on.
int loadTables(TableSet& tables, const std::string& directory = ".", std::string* problem = nullptr);

// Frees every array of the set; safe after a partial load and when repeated.
void releaseTables(TableSet& tables);

// Replaces each 0 in the must-be-clear half of every row by `conditionCount`,
// the condition that is clear for every record; idempotent.
void decisionRowFixup(DecisionTable& table, uint16_t conditionCount);

}  // namespace drg
