#include "tablesource/table_summary.h"

#include <array>
#include <cstdio>

#include "tables/table_files.h"
#include "tables/table_header.h"
#include "tables/table_versions.h"

namespace drg::source {
namespace {

struct CountName {
    const char* name;
    bool withPlaceholder;  // the header count includes entry 0, which holds no code or group
};

std::array<CountName, 4> countNamesOf(int file) {
    switch (file) {
    case kFileDxIdx: case kFileSgIdx: return {{{"codes", true}}};
    case kFileMdcIdx: case kFileAdrgIdx: case kFileAadrgIdx: return {{{"entries", true}}};
    case kFileDagAst: return {{{"diagnoses", true}, {"pairs", false}}};
    case kFileCondIdx: return {{{"conditions", false}}};  // condition 0 is one: it always holds
    case kFileCode: return {{{"diagnoses", true}, {"procedures", true}, {"entries", false}}};
    case kFileAdrg0: case kFileAdrg1: case kFileAdrg2: case kFileAdrg3: case kFileAdrg4: case kFileAdrg5:
        return {{{"ranges", true}, {"rows", false}}};
    case kFileAadrg: return {{{"adrgs", true}, {"rows", false}}};
    case kFileCcl0: case kFileCcl1: case kFileCcl2:
        return {{{"diagnoses", true}, {"rows", false}, {"profiles", false}, {"columns", true}}};
    case kFilePccl: return {{{"refined codes", true}, {"rows", false}, {"profiles", false}}};
    default: return {{{"diagnoses", true}, {"list entries", false}}};
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
        for (int f = 0; f < countFieldLayout(file).used; ++f) {
            const CountName& count = countNames[static_cast<size_t>(f)];
            const int64_t n = static_cast<int64_t>(counts[static_cast<size_t>(f)]);
            summary.counts.emplace_back(count.name, count.withPlaceholder && n > 0 ? n - 1 : n);
        }
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

std::string summarizeTables(const TableSet& tables) {
    std::string out = "(codes, entries, diagnoses, ranges, ADRGs and columns are counted without entry 0, which "
                      "holds none)\n";
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

std::vector<std::pair<std::string, std::string>> oddCountFields(const TableSet& tables) {
    std::vector<std::pair<std::string, std::string>> lines;
    for (int file = 0; file < kTableFileCount; ++file) {
        const std::array<int64_t, 4> counts = fileCounts(tables, file);
        for (int f = 0; f < countFieldLayout(file).used; ++f) {
            const char* field = tables.headers[static_cast<size_t>(file)].data() + f * kCountFieldWidth;
            if (const std::string reading = countFieldReading(field, counts[static_cast<size_t>(f)]); !reading.empty())
                lines.emplace_back(kTableFileNames[static_cast<size_t>(file)],
                                   "count field " + std::to_string(f + 1) + " holds " + reading);
        }
    }
    return lines;
}

}  // namespace drg::source
