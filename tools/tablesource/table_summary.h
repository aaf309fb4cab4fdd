#pragma once
// A readable account of what a loaded table set holds.

#include <string>

#include "tables/table_set.h"

namespace drg::source {

// One line per table file: its header counts by name, and for dated
// versions the dates on which the version is in force.
std::string summarizeTables(const TableSet& tables);

}  // namespace drg::source
