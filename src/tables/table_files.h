#pragma once
// The 22 table files: their names, their load order, their header count
// fields and the arrays that follow the header. Loader and writer both walk
// this one description, so the byte layout is written down exactly once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>
#include <sys/types.h>

#include "tables/table_set.h"

namespace drg {

// In load order.
enum TableFileId : int {
    kFileDxIdx, kFileSgIdx, kFileMdcIdx, kFileAdrgIdx, kFileAadrgIdx,
    kFileDagAst, kFileCondIdx, kFileCode,
    kFileAdrg0, kFileAdrg1, kFileAdrg2, kFileAdrg3, kFileAdrg4, kFileAdrg5,
    kFileAadrg, kFileCcl0, kFileCcl1, kFileCcl2, kFilePccl,
    kFileCcedit0, kFileCcedit1, kFileCcedit2,
};

inline constexpr std::array<const char*, kTableFileCount> kTableFileNames = {
    "Tdx.idx", "Tsg.idx", "Tmdc.idx", "Tadrg.idx", "Taadrg.idx",
    "Tdag_ast", "Tcond.idx", "Tcode",
    "Tadrg", "Tadrg1", "Tadrg2", "Tadrg3", "Tadrg4", "Tadrg5",
    "Taadrg", "Tccl", "Tccl1", "Tccl2", "Tpccl",
    "Tccedit", "Tccedit1", "Tccedit2",
};

// A count field of `file` that must equal count field 1 of an earlier file:
// every table indexed by a code id, an MDC, an ADRG or a refined code has as
// many entries as the list it is indexed by.
struct CountLink {
    int file, field, earlierFile;
};

inline constexpr CountLink kCountLinks[] = {
    {kFileDagAst, 0, kFileDxIdx},  {kFileCode, 0, kFileDxIdx},     {kFileCode, 1, kFileSgIdx},
    {kFileAdrg1, 0, kFileMdcIdx},  {kFileAdrg2, 0, kFileMdcIdx},   {kFileAdrg3, 0, kFileMdcIdx},
    {kFileAdrg4, 0, kFileMdcIdx},  {kFileAdrg5, 0, kFileMdcIdx},   {kFileAadrg, 0, kFileAdrgIdx},
    {kFileCcl2, 0, kFileDxIdx},    {kFileCcl2, 3, kFileAdrgIdx},   {kFilePccl, 0, kFileAadrgIdx},
};

// How many count fields a file uses, and which of them are signed 32-bit
// (all others are unsigned 16-bit).
struct CountFieldLayout {
    int used = 0;
    std::array<bool, 4> wide{};
};

CountFieldLayout countFieldLayout(int file);

// The header counts of a file as held in the table set (widened to 64 bits).
std::array<int64_t, 4> fileCounts(const TableSet& tables, int file);
// Stores header counts into the table set; each value is cut to its width.
void setFileCounts(TableSet& tables, int file, const std::array<int64_t, 4>& counts);

// Calls visit(array, elementCount) for every array of a file, in file order,
// with the element count that the file's header counts give. Text arrays are
// std::vector<char> whose element count is characters, not texts.
template <class Tables, class Visit>
void forEachArray(Tables& t, int file, Visit&& visit) {
    auto n = [](auto count) { return static_cast<size_t>(count); };
    switch (file) {
    case kFileDxIdx: {
        auto& x = t.diagnosisIndex;
        visit(x.code.bytes, n(x.count) * 6);
        visit(x.id, n(x.count));
        visit(x.spare, n(x.count));
        break;
    }
    case kFileSgIdx: {
        auto& x = t.procedureIndex;
        visit(x.code.bytes, n(x.count) * 5);
        visit(x.id, n(x.count));
        break;
    }
    case kFileMdcIdx: visit(t.mdcCodes.text.bytes, n(t.mdcCodes.count) * 3); break;
    case kFileAdrgIdx: visit(t.adrgCodes.text.bytes, n(t.adrgCodes.count) * 4); break;
    case kFileAadrgIdx: visit(t.refinedCodes.text.bytes, n(t.refinedCodes.count) * 5); break;
    case kFileDagAst: {
        auto& x = t.daggerAsterisk;
        visit(x.pairBegin, n(x.diagnosisCount));
        visit(x.pairEnd, n(x.diagnosisCount));
        visit(x.pairValidFrom, n(x.pairCount));
        visit(x.pairValidTo, n(x.pairCount));
        visit(x.pairPartner, n(x.pairCount));
        break;
    }
    case kFileCondIdx: {
        auto& x = t.conditions;
        visit(x.conditionKind, n(x.conditionCount));
        visit(x.firstSlot, n(x.conditionCount));
        visit(x.lastSlot, n(x.conditionCount));
        break;
    }
    case kFileCode: {
        auto& x = t.codeConditions;
        visit(x.diagnosisEntryBegin, n(x.diagnosisCount));
        visit(x.diagnosisEntryEnd, n(x.diagnosisCount));
        visit(x.procedureEntryBegin, n(x.procedureCount));
        visit(x.procedureEntryEnd, n(x.procedureCount));
        visit(x.entryTag, n(x.entryCount));
        visit(x.entryValidFrom, n(x.entryCount));
        visit(x.entryValidTo, n(x.entryCount));
        visit(x.entryCondition, n(x.entryCount));
        break;
    }
    case kFileAdrg0: case kFileAdrg1: case kFileAdrg2:
    case kFileAdrg3: case kFileAdrg4: case kFileAdrg5: {
        auto& x = t.decisionTables[file - kFileAdrg0];
        visit(x.rowBegin, n(x.entryCount));
        visit(x.rowEnd, n(x.entryCount));
        visit(x.rowValidFrom, n(x.rowCount));
        visit(x.rowValidTo, n(x.rowCount));
        visit(x.rowConditions, n(x.rowCount) * kRowConditionColumns);
        visit(x.rowMdc, n(x.rowCount));
        visit(x.rowAdrg, n(x.rowCount));
        break;
    }
    case kFileAadrg: {
        auto& x = t.refinement;
        visit(x.refinementBegin, n(x.adrgCount));
        visit(x.refinementEnd, n(x.adrgCount));
        visit(x.refinementMinAge, n(x.rowCount));
        visit(x.refinementMaxAge, n(x.rowCount));
        visit(x.refinementValidFrom, n(x.rowCount));
        visit(x.refinementValidTo, n(x.rowCount));
        visit(x.refinementSuffix, n(x.rowCount));
        break;
    }
    case kFileCcl0: case kFileCcl1: case kFileCcl2: {
        auto& x = t.levelTables[file - kFileCcl0];
        visit(x.cclRowBegin, n(x.cclDiagnosisCount));
        visit(x.cclRowEnd, n(x.cclDiagnosisCount));
        visit(x.cclValidFrom, n(x.cclRowCount));
        visit(x.cclValidTo, n(x.cclRowCount));
        visit(x.cclProfile, n(x.cclRowCount));
        visit(x.cclMatrix, n(x.cclProfileCount) * n(x.cclColumnCount));
        break;
    }
    case kFilePccl: {
        auto& x = t.splits;
        visit(x.splitRowBegin, n(x.splitGroupCount));
        visit(x.splitRowEnd, n(x.splitGroupCount));
        visit(x.splitValidFrom, n(x.splitRowCount));
        visit(x.splitValidTo, n(x.splitRowCount));
        visit(x.splitProfile, n(x.splitRowCount));
        visit(x.splitCharacters, n(x.splitProfileCount) * kSplitProfileWidth);
        break;
    }
    case kFileCcedit0: case kFileCcedit1: case kFileCcedit2: {
        auto& x = t.exclusionTables[file - kFileCcedit0];
        // Negative 32-bit counts are refused before any array is visited.
        visit(x.exclusionBegin, n(x.exclusionDiagnosisCount));
        visit(x.exclusionEnd, n(x.exclusionDiagnosisCount));
        visit(x.exclusionList, n(x.exclusionListCount));
        break;
    }
    default: break;
    }
}

// What a path that is not a regular file names ("a FIFO", "a folder", ...),
// from its stat mode: such a file is refused, not read, since reading a
// FIFO may wait for ever.
const char* nonRegularKind(mode_t mode);

}  // namespace drg
