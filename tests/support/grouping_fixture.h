#pragma once
// Whole records through the grouper: in-process on a loaded test release, or
// through the batch program with hand-worked expected output lines.

#include <string>
#include <vector>

#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {

// Groups the record with the release's tables and its own state, as the batch
// program does for one line, and returns the result columns 283..304. A record
// that preparation refuses fails the calling test and gives "".
std::string groupedColumns(LoadedRelease& release, const RecordBuilder& record);

// One input record and the result columns 283..304 worked out for it.
struct GoldenLine {
    const char* rule;  // what the line pins down
    RecordBuilder record;
    const char* results;
};

// Writes the release and the records into a scratch folder, runs the batch
// program there and checks that "valtic.out" holds, byte for byte, each input
// line upper-cased with its expected result columns, and that the run ends
// with status 1 and prints nothing.
void expectGoldenRun(const TableBuilder& release, const std::vector<GoldenLine>& lines);

}  // namespace drg::testing
