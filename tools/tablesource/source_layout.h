#pragma once
// The files of a table source folder: their names, columns and meaning.
// Dated tables have one file per version, named by the first day on which
// the version applies ("decisions-20090101.tsv"); the first version has no
// date in its name.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace drg::source {

enum class SourceTable {
    Release, Conditions, Diagnoses, Procedures, Mdcs, Adrgs, Refined, DaggerAsterisk,
    DiagnosisConditions, ProcedureConditions, Decisions, Refinements, Levels, Exclusions, Splits,
};

struct SourceTableLayout {
    SourceTable table;
    std::string stem;                      // file name without version and ".tsv"
    std::vector<std::string> required;     // columns every file must have
    std::vector<std::string> optional;     // columns a file may have
    std::vector<std::string> versionDates; // "" for the first version; one entry for undated tables
    std::string description;
    // Rows of one value of this column keep their order; groups of rows
    // may be listed in any order. "" when the order of the file is its
    // meaning (the group code lists).
    std::string keyColumn;
    std::string oldStem;                                         // the name sources used to have, still read
    std::vector<std::pair<std::string, std::string>> oldColumns; // old name -> column
};

const std::vector<SourceTableLayout>& sourceTableLayouts();
const SourceTableLayout& layoutOf(SourceTable table);

struct SourceFileName {
    SourceTable table;
    int version = 0;
    bool oldName = false;  // the name the file used to have
};

// Which table and version a file name stands for, old names included;
// nullopt for unknown names.
std::optional<SourceFileName> identifySourceFile(const std::string& name);
std::string sourceFileName(SourceTable table, int version = 0);
// The name the file of a table version used to have; "" when none.
std::string oldSourceFileName(SourceTable table, int version = 0);

// Why `name` is no source file name, and which names are.
std::string unknownFileNameProblem(const std::string& name);

// Columns that hold remarks for people only; they never reach the binary files.
bool isRemarkColumn(const std::string& column);
// Columns whose fields are lists of blank-separated tokens, or free text.
bool columnHoldsBlanks(const std::string& column);

// A date as the tables hold it: YYYYMMDD. Authors write every date as its
// eight digits; years before 1000 are no dates of a release.
int32_t parseDateDigits(std::string_view eightDigits);  // -1 unless exactly 8 digits
bool isCalendarDate(int64_t yyyymmdd);
// The next and the previous day of a calendar date; for other numbers the
// next and the previous number.
int64_t dayAfter(int64_t yyyymmdd);
int64_t dayBefore(int64_t yyyymmdd);

// Validity dates written as "-" mean open ends.
inline constexpr int32_t kOpenFrom = 0;
inline constexpr int32_t kOpenTo = 99991231;

// Defaults of the optional per-element bytes.
inline constexpr char kDefaultTag = ' ';
inline constexpr char kDefaultSpare = ' ';
inline constexpr int kDefaultFirstSlot = 1;
inline constexpr int kDefaultLastSlot = 46;

}  // namespace drg::source
