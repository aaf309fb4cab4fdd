#include "tables/table_files.h"

#include <sys/stat.h>

namespace drg {

CountFieldLayout countFieldLayout(int file) {
    switch (file) {
    case kFileDagAst: return {2, {}};
    case kFileCode: return {3, {false, false, true, false}};
    case kFileAdrg0: case kFileAdrg1: case kFileAdrg2:
    case kFileAdrg3: case kFileAdrg4: case kFileAdrg5:
    case kFileAadrg: return {2, {}};
    case kFileCcl0: case kFileCcl1: case kFileCcl2: return {4, {}};
    case kFilePccl: return {3, {}};
    case kFileCcedit0: return {2, {}};
    case kFileCcedit1: case kFileCcedit2: return {2, {true, true, false, false}};
    default: return {1, {}};
    }
}

std::array<int64_t, 4> fileCounts(const TableSet& t, int file) {
    switch (file) {
    case kFileDxIdx: return {t.diagnosisIndex.count};
    case kFileSgIdx: return {t.procedureIndex.count};
    case kFileMdcIdx: return {t.mdcCodes.count};
    case kFileAdrgIdx: return {t.adrgCodes.count};
    case kFileAadrgIdx: return {t.refinedCodes.count};
    case kFileDagAst: return {t.daggerAsterisk.diagnosisCount, t.daggerAsterisk.pairCount};
    case kFileCondIdx: return {t.conditions.conditionCount};
    case kFileCode:
        return {t.codeConditions.diagnosisCount, t.codeConditions.procedureCount,
                t.codeConditions.entryCount};
    case kFileAadrg: return {t.refinement.adrgCount, t.refinement.rowCount};
    case kFilePccl:
        return {t.splits.splitGroupCount, t.splits.splitRowCount, t.splits.splitProfileCount};
    default: break;
    }
    if (file >= kFileAdrg0 && file <= kFileAdrg5) {
        const auto& x = t.decisionTables[file - kFileAdrg0];
        return {x.entryCount, x.rowCount};
    }
    if (file >= kFileCcl0 && file <= kFileCcl2) {
        const auto& x = t.levelTables[file - kFileCcl0];
        return {x.cclDiagnosisCount, x.cclRowCount, x.cclProfileCount, x.cclColumnCount};
    }
    const auto& x = t.exclusionTables[file - kFileCcedit0];
    return {x.exclusionDiagnosisCount, x.exclusionListCount};
}

void setFileCounts(TableSet& t, int file, const std::array<int64_t, 4>& c) {
    auto u16 = [](int64_t v) { return static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu); };
    auto s32 = [](int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); };
    switch (file) {
    case kFileDxIdx: t.diagnosisIndex.count = u16(c[0]); return;
    case kFileSgIdx: t.procedureIndex.count = u16(c[0]); return;
    case kFileMdcIdx: t.mdcCodes.count = u16(c[0]); return;
    case kFileAdrgIdx: t.adrgCodes.count = u16(c[0]); return;
    case kFileAadrgIdx: t.refinedCodes.count = u16(c[0]); return;
    case kFileDagAst:
        t.daggerAsterisk.diagnosisCount = u16(c[0]);
        t.daggerAsterisk.pairCount = u16(c[1]);
        return;
    case kFileCondIdx: t.conditions.conditionCount = u16(c[0]); return;
    case kFileCode:
        t.codeConditions.diagnosisCount = u16(c[0]);
        t.codeConditions.procedureCount = u16(c[1]);
        t.codeConditions.entryCount = s32(c[2]);
        return;
    case kFileAadrg:
        t.refinement.adrgCount = u16(c[0]);
        t.refinement.rowCount = u16(c[1]);
        return;
    case kFilePccl:
        t.splits.splitGroupCount = u16(c[0]);
        t.splits.splitRowCount = u16(c[1]);
        t.splits.splitProfileCount = u16(c[2]);
        return;
    default: break;
    }
    if (file >= kFileAdrg0 && file <= kFileAdrg5) {
        auto& x = t.decisionTables[file - kFileAdrg0];
        x.entryCount = u16(c[0]);
        x.rowCount = u16(c[1]);
    } else if (file >= kFileCcl0 && file <= kFileCcl2) {
        auto& x = t.levelTables[file - kFileCcl0];
        x.cclDiagnosisCount = u16(c[0]);
        x.cclRowCount = u16(c[1]);
        x.cclProfileCount = u16(c[2]);
        x.cclColumnCount = u16(c[3]);
    } else if (file == kFileCcedit0) {
        auto& x = t.exclusionTables[0];
        x.exclusionDiagnosisCount = u16(c[0]);
        x.exclusionListCount = u16(c[1]);
    } else {
        auto& x = t.exclusionTables[file - kFileCcedit0];
        x.exclusionDiagnosisCount = s32(c[0]);
        x.exclusionListCount = s32(c[1]);
    }
}

const char* nonRegularKind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

}  // namespace drg
