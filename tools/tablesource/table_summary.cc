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

std::vector<TableFileSummary> summarizeTableFiles(const TableSet& tables) {
    std::vector<TableFileSummary> summaries;
    for (int file = 0; file < kTableFileCount; ++file) {
        const auto countNames = countNamesOf(file);
        const auto counts = fileCounts(tables, file);
        TableFileSummary summary{kTableFileNames[file], {}, inForce(file)};
        for (int f = 0; f < countFieldLayout(file).used; ++f)
            summary.counts.emplace_back(countNames[f], static_cast<int64_t>(counts[f]));
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

std::string summarizeTables(const TableSet& tables) {
    std::string out;
    for (const TableFileSummary& summary : summarizeTableFiles(tables)) {
        char line[200];
        std::snprintf(line, sizeof line, "%-11s", summary.file.c_str());
        out += line;
        for (const auto& [name, count] : summary.counts) {
            std::snprintf(line, sizeof line, "  %s %lld", name.c_str(), static_cast<long long>(count));
            out += line;
        }
        if (!summary.inForce.empty()) out += "  (in force " + summary.inForce + ")";
        out += "\n";
    }
    return out;
}

}  // namespace drg::source
