#pragma once
// Refusal at load of table content that would make a lookup read outside an
// array. Only values that grouping can reach are judged: a range whose begin
// is not below its end is empty and never refused, and rows are judged only
// when some non-empty range holds them.

#include <string>

#include "tables/table_set.h"

namespace drg {

// Checks the just-loaded `file` against itself and the files loaded before
// it. On failure returns false and names the field in `problem`.
bool tableFileWithinBounds(const TableSet& tables, int file, std::string* problem);

}  // namespace drg
