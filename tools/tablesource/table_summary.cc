#include "tablesource/table_summary.h"

#include <array>
#include <cstdio>

#include "tables/table_files.h"
#include "tables/table_versions.h"

namespace drg::source {
namespace {

std::array<const char*, 4> countNamesOf(int file) {
    switch (file) {
    case kFileDxIdx: case kFileSgIdx: return {"codes"};
    case kFileMdcIdx: case kFileAdrgIdx: case kFileAadrgIdx: return {"entries"};
    case kFileDagAst: return {"diagnoses", "pairs"};
    case kFileCondIdx: return {"conditions"};
    case kFileCode: return {"diagnoses", "procedures", "entries"};
    case kFileAdrg0: case kFileAdrg1: case kFileAdrg2: case kFileAdrg3: case kFileAdrg4: case kFileAdrg5:
        return {"ranges", "rows"};
    case kFileAadrg: return {"adrgs", "rows"};
    case kFileCcl0: case kFileCcl1: case kFileCcl2: return {"diagnoses", "rows", "profiles", "columns"};
    case kFilePccl: return {"refined codes", "rows", "profiles"};
    default: return {"diagnoses", "list entries"};
    }
}

// The dates on which a dated file is in force; "" for tables with one version.
std::string inForce(int file) {
    if (file >= kFileAdrg0 && file <= kFileAdrg5) return versionPeriod(kDecisionCutDates, file - kFileAdrg0);
    if (file >= kFileCcl0 && file <= kFileCcl2) return versionPeriod(kLevelCutDates, file - kFileCcl0);
    if (file >= kFileCcedit0 && file <= kFileCcedit2) return versionPeriod(kExclusionCutDates, file - kFileCcedit0);
    return "";
}

}  // namespace

std::string summarizeTables(const TableSet& tables) {
    std::string out;
    for (int file = 0; file < kTableFileCount; ++file) {
        const auto countNames = countNamesOf(file);
        const std::string period = inForce(file);
        const auto counts = fileCounts(tables, file);
        char line[200];
        std::snprintf(line, sizeof line, "%-11s", kTableFileNames[file]);
        out += line;
        for (int f = 0; f < countFieldLayout(file).used; ++f) {
            std::snprintf(line, sizeof line, "  %s %lld", countNames[f], static_cast<long long>(counts[f]));
            out += line;
        }
        if (!period.empty()) out += "  (in force " + period + ")";
        out += "\n";
    }
    return out;
}

}  // namespace drg::source
