#include "tablesource/table_summary.h"

#include <array>
#include <cstdio>

#include "conditions/derived_conditions.h"
#include "tables/table_files.h"

namespace drg::source {
namespace {

struct FileAccount {
    std::array<const char*, 4> countNames;
    const char* inForce;  // "" for tables with one version
};

FileAccount accountOf(int file) {
    switch (file) {
    case kFileDxIdx: case kFileSgIdx: return {{"codes"}, ""};
    case kFileMdcIdx: case kFileAdrgIdx: case kFileAadrgIdx: return {{"entries"}, ""};
    case kFileDagAst: return {{"diagnoses", "pairs"}, ""};
    case kFileCondIdx: return {{"conditions"}, ""};
    case kFileCode: return {{"diagnoses", "procedures", "entries"}, ""};
    case kFileAdrg0: return {{"ranges", "rows"}, "before 20050101"};
    case kFileAdrg1: return {{"ranges", "rows"}, "20050101 to 20081231"};
    case kFileAdrg2: return {{"ranges", "rows"}, "20090101 to 20090930"};
    case kFileAdrg3: return {{"ranges", "rows"}, "20091001 to 20101231"};
    case kFileAdrg4: return {{"ranges", "rows"}, "20110101 to 20120630"};
    case kFileAdrg5: return {{"ranges", "rows"}, "from 20120701"};
    case kFileAadrg: return {{"adrgs", "rows"}, ""};
    case kFileCcl0: return {{"diagnoses", "rows", "profiles", "columns"}, "before 20091201"};
    case kFileCcl1: return {{"diagnoses", "rows", "profiles", "columns"}, "20091201 to 20120630"};
    case kFileCcl2: return {{"diagnoses", "rows", "profiles", "columns"}, "from 20120701"};
    case kFilePccl: return {{"refined codes", "rows", "profiles"}, ""};
    case kFileCcedit0: return {{"diagnoses", "list entries"}, "before 20080101"};
    case kFileCcedit1: return {{"diagnoses", "list entries"}, "20080101 to 20111031"};
    default: return {{"diagnoses", "list entries"}, "from 20111101"};
    }
}

}  // namespace

std::string summarizeTables(const TableSet& tables) {
    std::string out;
    for (int file = 0; file < kTableFileCount; ++file) {
        const FileAccount account = accountOf(file);
        const auto counts = fileCounts(tables, file);
        char line[200];
        std::snprintf(line, sizeof line, "%-11s", kTableFileNames[file]);
        out += line;
        for (int f = 0; f < countFieldLayout(file).used; ++f) {
            std::snprintf(line, sizeof line, "  %s %lld", account.countNames[f], static_cast<long long>(counts[f]));
            out += line;
        }
        if (*account.inForce) out += std::string("  (in force ") + account.inForce + ")";
        out += "\n";
    }
    return out;
}

int firstConditionKindMismatch(const TableSet& tables) {
    const auto& t = tables.conditions;
    for (int c = 1; c < t.conditionCount; ++c)
        if (t.conditionKind[c] != (isDerivedCondition(c) ? 'l' : 't')) return c;
    return -1;
}

}  // namespace drg::source
