#pragma once
// Reading and writing a table source folder as a whole.

#include <string>

#include "tablesource/source_text.h"

namespace drg::source {

// Reads every ".tsv" file of `directory`; other files are left alone. A
// ".tsv" file whose name is not a source table is an error.
Source readSourceFolder(const std::string& directory, Diagnostics& diagnostics);

// Writes every file of `source` into `directory` (created when missing),
// after removing the source tables it already holds, so that a version left
// out now does not survive from before. False with `problem` set on failure.
bool writeSourceFolder(const Source& source, const std::string& directory, std::string* problem);

// The source with remark columns (labels, notes) removed: what the binary
// files can hold.
Source withoutRemarks(const Source& source);

}  // namespace drg::source
