#pragma once
// The files of a table source folder: their names, columns and meaning.
// Dated tables have one file per version, named by the first day on which
// the version applies ("decisions-20090101.tsv"); the first version has no
// date in its name.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace drg::source {

enum class SourceTable {
    Release, Conditions, Diagnoses, Procedures, Mdcs, Adrgs, Drgs, DaggerAsterisk,
    DiagnosisConditions, ProcedureConditions, Decisions, Refinements, Levels, Exclusions, Splits,
};

struct SourceTableLayout {
    SourceTable table;
    std::string stem;                      // file name without version and ".tsv"
    std::vector<std::string> required;     // columns every file must have
    std::vector<std::string> optional;     // columns a file may have
    std::vector<std::string> versionDates; // "" for the first version; one entry for undated tables
    std::string description;
};

const std::vector<SourceTableLayout>& sourceTableLayouts();
const SourceTableLayout& layoutOf(SourceTable table);

struct SourceFileName {
    SourceTable table;
    int version = 0;
};

// Which table and version a file name stands for; nullopt for unknown names.
std::optional<SourceFileName> identifySourceFile(const std::string& name);
std::string sourceFileName(SourceTable table, int version = 0);

// Columns that hold remarks for people only; they never reach the binary files.
bool isRemarkColumn(const std::string& column);

// Validity dates written as "-" mean open ends.
inline constexpr int32_t kOpenFrom = 0;
inline constexpr int32_t kOpenTo = 99991231;

// Defaults of the optional per-element bytes.
inline constexpr char kDefaultTag = ' ';
inline constexpr char kDefaultSpare = ' ';
inline constexpr int kDefaultFirstSlot = 1;
inline constexpr int kDefaultLastSlot = 46;

}  // namespace drg::source
