#pragma once
// A grouped record's status and result columns, as the public interfaces hand them out.

#include "drg/grouper.h"

namespace drg {

// The status of a grouping step's result code.
GroupStatus groupStatusOf(int grouped);

// Fills `result`, when given, from the result columns of a grouped record.
void readGroupResult(const char* record, GroupResult* result);

}  // namespace drg
