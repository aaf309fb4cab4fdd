#pragma once
// Helpers of the table tool tests: a generated release that uses every
// table, records that reach all of it, and grouping of records in memory.

#include <string>
#include <vector>

#include "support/table_builder.h"
#include "tables/table_set.h"
#include "tablesource/source_compiler.h"
#include "tablesource/source_text.h"

namespace drg::testing {

// A release touching every table and every dated version; `diagnoses` and
// `procedures` receive the codes it knows.
TableBuilder generatedRelease(std::vector<std::string>* diagnoses = nullptr,
                              std::vector<std::string>* procedures = nullptr);

// Records over the given codes (plus an unknown one), dated around every cut
// date, with ages from days to old age, both sexes, birth weights and
// ventilation hours: `count` of them, the same for the same seed.
std::vector<std::string> generatedRecords(const std::vector<std::string>& diagnoses,
                                          const std::vector<std::string>& procedures, size_t count,
                                          unsigned seed = 7);

// Each record grouped by groupRecord on `tables`: the whole output line.
std::vector<std::string> groupAll(const TableSet& tables, const std::vector<std::string>& records);

// Each record grouped by groupRecord on `tables`, whatever its result:
// "<result> <output line>". Nothing reaches standard output.
std::vector<std::string> groupOutcomes(const TableSet& tables, const std::vector<std::string>& records);

// Writes `tables` into `directory` and loads them back as the grouper would
// (fails the test when loading fails).
TableSet writeAndLoad(const TableSet& tables, const std::string& directory);

// Source file texts by name, parsed; fails the test on a parse problem.
source::Source parseSource(const std::map<std::string, std::string>& files);

// Compiles `source`, failing the test with every diagnostic on errors.
TableSet compileOrFail(const source::Source& source, const source::CompileOptions& options = {});
// The options of `build --allow-invalid`.
inline source::CompileOptions allowInvalid() { return {source::kLargeFileBytes, true}; }

using Files = std::map<std::string, std::string>;

// A small source: diagnoses A01 and B02, MDC 01, ADRG B010 and its refined
// code B010A.
extern const Files kSmallSource;

// `base` with the files of `changes` replaced or added.
Files with(Files base, const Files& changes);

// The first diagnostic of compiling `files`, formatted; "" when there is
// none. `built` says whether tables came out.
std::string firstDiagnostic(const Files& files, const source::CompileOptions& options = {}, bool* built = nullptr);

// Same files with the same content (comments and line numbers aside).
bool sameSource(const source::Source& a, const source::Source& b, std::string* difference = nullptr);

}  // namespace drg::testing
