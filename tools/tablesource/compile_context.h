#pragma once
// Shared state of one compilation and the readers of typed fields. Internal
// to the compiler.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "tables/table_set.h"
#include "tablesource/source_layout.h"
#include "tablesource/source_compiler.h"
#include "tablesource/source_text.h"

namespace drg::source {

enum class GroupKind { Mdc, Adrg, Refined };

// Code ids, the row numbers of the 16-bit row ranges and the MDC and ADRG
// entries that decision rows name are all signed 16-bit fields.
inline constexpr int64_t kMostSigned16 = 32767;

// What the later checks of a release need to know of its rows.
struct UseOfConditions {
    std::set<int> raised;  // by a code row
    std::set<int> tested;  // by a decision row
    // The first decision row that asks each condition to hold: file and line.
    std::map<int, std::pair<std::string, int>> firstRequired;
};

struct CompileContext {
    const Source& source;
    Diagnostics& diagnostics;
    CompileOptions options;
    TableSet tables;
    std::map<std::string, int16_t> diagnosisIds, procedureIds;  // by code padded to its width
    std::map<GroupKind, std::vector<std::string>> groupTexts;   // padded; entry 0 is the placeholder
    std::map<GroupKind, std::vector<int>> groupLines;           // the line of each entry; 0 for the placeholder
    std::map<GroupKind, std::unordered_map<std::string, int>> firstEntries;  // padded text -> its first entry
    std::map<int, std::string> conditionLabels;
    std::map<int, int> conditionLines;  // lines of conditions.tsv
    int conditionCount = 0;
    std::set<SourceTable> unusable;  // files whose rows could not be read at all
    std::set<int> adrgsGiven;        // ADRG entries that some decision row gives
    std::optional<int32_t> firstDecisionDay;  // before it no record gets an ADRG; none without decision rows
    UseOfConditions conditionUse;

    // The name under which the source holds a table version: its own name,
    // or the old one when only that is there.
    const std::string& fileName(SourceTable table, int version = 0) const;
    bool present(SourceTable table, int version = 0) const { return source.count(fileName(table, version)) > 0; }
    // A value that can be stored but no author means: an error, or with
    // allowInvalid a warning.
    void invalid(const std::string& file, int line, const std::string& column, const std::string& message) const;
};

// Compiles each dated version of a table that the source gives, as
// compileVersion(table, version); a version the source leaves out repeats
// the one before it.
template <typename Table, size_t Versions, typename CompileVersion>
void compileEachVersion(CompileContext& c, SourceTable kind, std::array<Table, Versions>& tables,
                        CompileVersion compileVersion) {
    const size_t versions = layoutOf(kind).versionDates.size();
    for (size_t v = 0; v < versions && v < Versions; ++v) {
        if (v > 0 && !c.present(kind, static_cast<int>(v)))
            tables[v] = tables[v - 1];
        else
            compileVersion(tables[v], static_cast<int>(v));
    }
}

// Reads the typed fields of one row and reports every problem at its line
// and column.
class RowReader {
public:
    RowReader(CompileContext& context, const std::string& fileName, const SourceFile& file, const SourceRow& row)
        : context_(context), fileName_(fileName), file_(file), row_(row) {}

    void error(const std::string& column, const std::string& message) const;
    void warning(const std::string& column, const std::string& message) const;
    void invalid(const std::string& column, const std::string& message) const;
    int line() const { return row_.line; }
    const std::string& fileName() const { return fileName_; }
    bool has(const std::string& column) const { return !raw(column).empty(); }
    // The field as written ("" when the column is absent); a column is also
    // found under its old name.
    const std::string& raw(const std::string& column) const;
    // A required field; reports an empty one.
    std::optional<std::string> text(const std::string& column) const;
    std::optional<int64_t> integer(const std::string& column, int64_t low, int64_t high) const;
    // YYYYMMDD as a number; "-" is the open end; an absent column is open.
    std::optional<int32_t> date(const std::string& column, int32_t open) const;
    // One byte, written escaped; an absent column or empty field gives the default.
    std::optional<char> byte(const std::string& column, char fallback) const;
    // Exactly `width` bytes.
    std::optional<std::string> bytes(const std::string& column, size_t width) const;

    // Token readers, also used for the tokens of list fields; problems are
    // reported at `column`.
    std::optional<int16_t> codeToken(const std::string& column, const std::string& token, bool diagnosis,
                                     bool noneAllowed) const;
    std::optional<int> groupToken(const std::string& column, const std::string& token, GroupKind kind,
                                  bool noneAllowed) const;
    // "412" or "412:label"; the label must be the condition's label. A
    // condition is 0 to the condition count - 1; where `countAllowed`, the
    // count itself (a condition that never holds) is invalid but stored.
    std::optional<int> conditionToken(const std::string& column, const std::string& token, bool countAllowed) const;
    std::optional<char> byteToken(const std::string& token) const;

private:
    CompileContext& context_;
    const std::string& fileName_;
    const SourceFile& file_;
    const SourceRow& row_;
};

// Counts the rows (or entries) of one table as they are read and reports, at
// its line, the first one beyond what the table's fields can number.
class RowLimit {
public:
    RowLimit(size_t most, std::string what) : most_(most), what_(std::move(what)) {}
    // False, and reported once, for the row that would pass the limit.
    bool admit(const RowReader& row);
    bool exceeded() const { return exceeded_; }

private:
    size_t most_, count_ = 0;
    std::string what_;
    bool exceeded_ = false;
};

// Checks the columns of a file against its layout; false when its rows
// cannot be read. One problem of the header is one message.
bool checkColumns(CompileContext& context, const std::string& fileName, const SourceFile& file,
                  const SourceTableLayout& layout);

// Reports the files of the source that use an old name.
void reportOldFileNames(CompileContext& context);

// Calls read(reader) for every row of a table version when the source has it.
template <class Read>
void forEachRow(CompileContext& context, SourceTable table, int version, Read&& read) {
    auto it = context.source.find(context.fileName(table, version));
    if (it == context.source.end()) return;
    const std::string& fileName = it->first;
    const SourceFile& file = it->second;
    if (!checkColumns(context, fileName, file, layoutOf(table))) {
        context.unusable.insert(table);
        return;
    }
    for (const auto& row : file.rows) read(RowReader(context, fileName, file, row));
}
template <class Read>
void forEachRow(CompileContext& context, SourceTable table, Read&& read) {
    forEachRow(context, table, 0, std::forward<Read>(read));
}

// A code text padded with blanks to its width, or nullopt (with `error`) when
// it is empty or too long.
std::optional<std::string> paddedCode(const std::string& bytes, size_t width, std::string& error);

const char* groupName(GroupKind kind);
size_t groupWidth(GroupKind kind);
SourceTable groupTable(GroupKind kind);

}  // namespace drg::source
