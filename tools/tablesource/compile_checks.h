#pragma once
// Checks of what is legal but most likely not what a release's author means:
// rows that an earlier row always wins over, refined codes without a split
// row on some day, ADRGs that no decision row gives and conditions that
// nothing raises or tests. They are warnings. Internal to the compiler.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tablesource/compile_context.h"

namespace drg::source {

struct Dates {
    int32_t from, to;
    bool empty() const { return from > to; }
    bool covers(const Dates& other) const { return from <= other.from && other.to <= to; }
};

// "from 20050101 to 20101231", "up to 20101231", "from 20110101 on", "on any date".
std::string periodText(int64_t from, int64_t to);

// A group list entry as its source writes it: without the blanks that pad
// it to its width, escaped where it holds bytes a source cannot show.
std::string entryText(const std::string& padded);

// The rows of one key of a first-match table (a range, an ADRG, a
// diagnosis, a refined code), in file order, by their lines. `wins(i, j)`
// says whether row i holds on every record on which row j does; each row
// that an earlier one wins over is reported at `column`. `key` names the
// key in the message.
class HiddenRows {
public:
    HiddenRows(CompileContext& context, const std::string& fileName, std::string column, std::string what)
        : context_(context), fileName_(fileName), column_(std::move(column)), what_(std::move(what)) {}

    void check(const std::vector<int>& lines, const std::string& key, const std::function<bool(size_t, size_t)>& wins);

private:
    CompileContext& context_;
    const std::string& fileName_;
    std::string column_, what_;
    uint64_t comparisons_ = 0;  // a file of many rows under one key is checked only so far
};

// The periods from `first` to 99991231 that no span covers, first one first.
std::vector<Dates> uncoveredPeriods(std::vector<Dates> spans, int32_t first);

// Reports the ADRGs of adrgs.tsv that no decision row gives and the
// conditions of conditions.tsv that no code row raises, no derived rule
// raises and nothing tests.
void reportUnusedEntries(CompileContext& context);

}  // namespace drg::source
