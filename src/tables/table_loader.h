#pragma once
// Loading of the 22 table files in their fixed order, with the count
// cross-checks between files, and the release of everything loaded.

#include <array>
#include <cstdint>
#include <string>

#include "tables/table_set.h"

namespace drg {

inline constexpr int kLoadOk = 0;
inline constexpr int kLoadInitError = -1;   // missing, short, unreadable or out-of-bounds content
inline constexpr int kLoadCountError = -2;  // a count differs from the file it must match

// The fewest conditions that leave room for the built-in derived conditions.
inline constexpr int kMinimumConditionCount = 854;

// The console line that the batch program prints for a load result other
// than kLoadOk: " file count error " or " file init error ", with its line end.
const char* loadFailureLine(int result);

// Checks the header counts that `file` would be loaded with against the
// counts of the files loaded before it (held in `tables`): kLoadCountError
// for a count that differs from the earlier file it must match, kLoadInitError
// for a negative count or too few conditions, else kLoadOk. `problem`
// receives the field at fault, without the file name.
int checkFileCounts(const TableSet& tables, int file, const std::array<int64_t, 4>& counts, std::string* problem);

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
