#include "tables/table_bounds.h"

#include <vector>

#include "tables/table_files.h"

namespace drg {
namespace {

// Checks that every non-empty range [begin, end) fits in `rowCount` rows.
template <class Index>
bool rangesWithin(const std::vector<Index>& begin, const std::vector<Index>& end, int64_t rowCount,
                  const char* name, std::string* problem) {
    for (size_t key = 0; key < begin.size(); ++key) {
        const int64_t b = begin[key], e = end[key];
        if (b < e && (b < 0 || e > rowCount)) {
            *problem = std::string(name) + " of entry " + std::to_string(key) + " is [" + std::to_string(b) +
                       ", " + std::to_string(e) + "), outside " + std::to_string(rowCount) + " rows";
            return false;
        }
    }
    return true;
}

// As rangesWithin, and marks the rows that lie in some non-empty range, for
// tables whose rows hold values to check.
template <class Index>
bool rangesWithinRows(const std::vector<Index>& begin, const std::vector<Index>& end, int64_t rowCount,
                      std::vector<bool>& reachable, const char* name, std::string* problem) {
    if (!rangesWithin(begin, end, rowCount, name, problem)) return false;
    // Coverage by a difference array: linear in keys plus rows, however the
    // ranges overlap.
    std::vector<int32_t> opened(static_cast<size_t>(rowCount) + 1, 0);
    for (size_t key = 0; key < begin.size(); ++key) {
        if (begin[key] >= end[key]) continue;
        ++opened[static_cast<size_t>(begin[key])];
        --opened[static_cast<size_t>(end[key])];
    }
    reachable.assign(static_cast<size_t>(rowCount), false);
    int64_t open = 0;
    for (size_t r = 0; r < reachable.size(); ++r) {
        open += opened[r];
        reachable[r] = open > 0;
    }
    return true;
}

template <class Value>
bool valuesWithin(const std::vector<Value>& values, const std::vector<bool>& reachable, size_t stride,
                  int64_t low, int64_t high, const char* name, std::string* problem) {
    for (size_t row = 0; row < reachable.size(); ++row) {
        if (!reachable[row]) continue;
        for (size_t k = 0; k < stride; ++k) {
            int64_t v = values[row * stride + k];
            if (v < low || v > high) {
                *problem = std::string(name) + " of row " + std::to_string(row) + " is " + std::to_string(v) +
                           ", outside " + std::to_string(low) + ".." + std::to_string(high);
                return false;
            }
        }
    }
    return true;
}

bool idsWithin(const std::vector<int16_t>& ids, int64_t count, const char* name, std::string* problem) {
    // Position 0 is a placeholder that lookup never returns.
    for (size_t i = 1; i < ids.size(); ++i) {
        if (ids[i] < 0 || ids[i] >= count) {
            *problem = std::string(name) + " at position " + std::to_string(i) + " is " + std::to_string(ids[i]) +
                       ", outside 0.." + std::to_string(count - 1);
            return false;
        }
    }
    return true;
}

}  // namespace

bool tableFileWithinBounds(const TableSet& t, int file, std::string* problem) {
    std::string ignored;
    if (!problem) problem = &ignored;
    std::vector<bool> reachable;
    const int64_t conditionCount = t.conditions.conditionCount;
    switch (file) {
    case kFileDxIdx: return idsWithin(t.diagnosisIndex.id, t.diagnosisIndex.count, "id", problem);
    case kFileSgIdx: return idsWithin(t.procedureIndex.id, t.procedureIndex.count, "id", problem);
    case kFileDagAst: {
        const auto& x = t.daggerAsterisk;
        return rangesWithin(x.pairBegin, x.pairEnd, x.pairCount, "pairBegin/pairEnd", problem);
    }
    case kFileCode: {
        const auto& x = t.codeConditions;
        std::vector<bool> fromProcedures;
        if (!rangesWithinRows(x.diagnosisEntryBegin, x.diagnosisEntryEnd, x.entryCount, reachable,
                              "diagnosisEntryBegin/diagnosisEntryEnd", problem) ||
            !rangesWithinRows(x.procedureEntryBegin, x.procedureEntryEnd, x.entryCount, fromProcedures,
                              "procedureEntryBegin/procedureEntryEnd", problem))
            return false;
        for (size_t k = 0; k < reachable.size(); ++k) reachable[k] = reachable[k] || fromProcedures[k];
        return valuesWithin(x.entryCondition, reachable, 1, 0, conditionCount - 1, "entryCondition", problem);
    }
    case kFileAdrg0: case kFileAdrg1: case kFileAdrg2:
    case kFileAdrg3: case kFileAdrg4: case kFileAdrg5: {
        const auto& x = t.decisionTables[file - kFileAdrg0];
        if (!rangesWithinRows(x.rowBegin, x.rowEnd, x.rowCount, reachable, "rowBegin/rowEnd", problem) ||
            !valuesWithin(x.rowConditions, reachable, kRowConditionColumns, 0, conditionCount, "rowConditions",
                          problem) ||
            !valuesWithin(x.rowAdrg, reachable, 1, 0, int64_t{t.adrgCodes.count} - 1, "rowAdrg", problem))
            return false;
        // Only the MDC pass reads rowMdc, and it scans range 1 alone.
        std::vector<bool> rangeOne(reachable.size(), false);
        if (x.entryCount > 1)
            for (int64_t r = x.rowBegin[1]; r < x.rowEnd[1]; ++r) rangeOne[static_cast<size_t>(r)] = true;
        return valuesWithin(x.rowMdc, rangeOne, 1, 0, int64_t{t.mdcCodes.count} - 1, "rowMdc", problem);
    }
    case kFileAadrg: {
        const auto& x = t.refinement;
        return rangesWithin(x.refinementBegin, x.refinementEnd, x.rowCount, "refinementBegin/refinementEnd", problem);
    }
    case kFileCcl0: case kFileCcl1: case kFileCcl2: {
        const auto& x = t.levelTables[file - kFileCcl0];
        return rangesWithinRows(x.cclRowBegin, x.cclRowEnd, x.cclRowCount, reachable, "cclRowBegin/cclRowEnd",
                                problem) &&
               valuesWithin(x.cclProfile, reachable, 1, 0, int64_t{x.cclProfileCount} - 1, "cclProfile", problem);
    }
    case kFilePccl: {
        const auto& x = t.splits;
        return rangesWithinRows(x.splitRowBegin, x.splitRowEnd, x.splitRowCount, reachable,
                                "splitRowBegin/splitRowEnd", problem) &&
               valuesWithin(x.splitProfile, reachable, 1, 0, int64_t{x.splitProfileCount} - 1, "splitProfile",
                            problem);
    }
    case kFileCcedit0: case kFileCcedit1: case kFileCcedit2: {
        // List entries are only compared with ids, never used as an index.
        const auto& x = t.exclusionTables[file - kFileCcedit0];
        return rangesWithin(x.exclusionBegin, x.exclusionEnd, x.exclusionListCount, "exclusionBegin/exclusionEnd",
                            problem);
    }
    default: return true;
    }
}

}  // namespace drg
