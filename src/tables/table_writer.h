#pragma once
// Writes a table set as the 22 binary files that the loader reads. Used by
// the table compiler and by tests that make their own releases; the grouper
// itself never writes tables.

#include <string>

#include "tables/table_set.h"

namespace drg {

// Writes every file into `directory` (which must exist). Header count fields
// come from the set's counts; header bytes 40-99 from `tables.headers`.
// Each array is written with as many elements as the counts say (missing
// elements are written as zero bytes). Returns false with `problem` set when
// a file cannot be written.
bool writeTableFiles(const TableSet& tables, const std::string& directory, std::string* problem = nullptr);

// Writes one file only.
bool writeTableFile(const TableSet& tables, int file, const std::string& directory, std::string* problem = nullptr);

}  // namespace drg
