#pragma once
// Reading and writing a table source folder as a whole.

#include <cstdint>
#include <string>

#include "tablesource/source_text.h"
#include "tablesource/tool_limits.h"

namespace drg::source {

// Reads every ".tsv" file of `directory`; other files are left alone, with
// a warning for one whose extension is ".tsv" in other case ("X.TSV"). A
// ".tsv" file whose name is not a source table is an error, and so is one
// that is not a regular file (a folder, a FIFO, a device) or that holds more
// than `mostBytes` or `mostRows` rows. Diagnostics name files inside the
// folder; a problem with the folder itself names it as given.
Source readSourceFolder(const std::string& directory, Diagnostics& diagnostics,
                        uint64_t mostBytes = kLargeFileBytes, size_t mostRows = kLargeRowCount);

// Writes every file of `source` into `directory`, all or nothing: they are
// written beside it first and moved in only when all are complete. The
// folder must be missing or empty unless `force`; then only the source
// files are replaced, and those source files of the folder that `source`
// does not hold are rewritten to say what leaving them out says (empty, or
// the same as the version before), so that a stale version cannot change
// the meaning of the new source. False with `problem` on failure, when the
// folder is unchanged unless `problem` says otherwise.
bool writeSourceFolder(const Source& source, const std::string& directory, bool force, std::string* problem);

// The source with remark columns (labels, notes) removed: what the binary
// files can hold.
Source withoutRemarks(const Source& source);

}  // namespace drg::source
