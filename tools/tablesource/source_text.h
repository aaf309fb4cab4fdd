#pragma once
// The text layer of a table source: tab-separated files with a header row and
// '#' comments, the escapes that let any byte appear in a field, and the
// diagnostics that point at a file and line.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tablesource/diagnostics.h"
#include "tablesource/tool_limits.h"

namespace drg::source {

struct SourceRow {
    int line = 0;  // 1-based line in its file; 0 for rows made in memory
    std::vector<std::string> fields;
};

// A comment or blank line, kept so that a file can be written back with it.
struct SourceComment {
    static constexpr size_t kAboveHeader = static_cast<size_t>(-1);
    size_t beforeRow = kAboveHeader;  // the index of the row it precedes (rows.size() after the last)
    std::string text;                 // the line as written, "" for a blank line
};

// One file of a source folder: its column names, its rows and its comments.
struct SourceFile {
    int headerLine = 0;
    std::vector<std::string> columns;
    std::vector<SourceRow> rows;
    std::vector<SourceComment> comments;
    // False when the file could not be read or its header is unusable: its
    // rows say nothing, and what refers to them is not reported again.
    bool usable = true;
    // Whether a file written by the tools starts with a comment that says
    // what the table holds (when no comment stands above its header).
    bool describe = true;

    int column(std::string_view name) const;  // -1 when absent
    // The field of `row` in column `name`, or "" when the column is absent.
    const std::string& field(const SourceRow& row, std::string_view name) const;
};

// A whole source folder, files by name ("decisions-20050101.tsv").
using Source = std::map<std::string, SourceFile>;

// Parses one file's text. A UTF-8 byte-order mark is skipped; a UTF-16 file
// is refused unread. Lines are split at tabs; blanks around a field are
// dropped; blank lines and lines starting with '#' are comments. The first
// other line names the columns, none of them empty. A row has a
// field for every column, except that it may leave out the remark columns
// at its end. Rows beyond `mostRows` are not read: a row takes many times its
// bytes in memory; nor are lines beyond twice as many and one (comments,
// blank lines and rows in error are held too).
SourceFile parseSourceText(const std::string& text, const std::string& fileName, Diagnostics& diagnostics,
                           size_t mostRows = kNoRowLimit);

// The text of a file: its comments where they stood, the header row, the
// rows. `comment` heads the file when no comment stands above its header.
std::string printSourceText(const SourceFile& file, const std::string& comment = "");

// Same columns and the same fields row by row; comments and line numbers do
// not count.
bool sameContent(const SourceFile& a, const SourceFile& b);

// Escapes: \\ for a backslash, \xNN for any byte below 0x20 or above 0x7e,
// for a blank (tokens only; text keeps inner blanks), for a leading '#' or '@'
// and for a '=' (tokens only). A token that would read as "-" is escaped too.
std::string escapeToken(std::string_view bytes);
std::string escapeText(std::string_view bytes);
// Reverses either escape; false with `error` set on a malformed escape.
bool unescape(std::string_view text, std::string& bytes, std::string& error);

// Space-separated tokens of a list field; "-" alone is the empty list.
std::vector<std::string> splitList(const std::string& field);
// Space-separated tokens, "-" being a token like any other.
std::vector<std::string> splitTokens(const std::string& field);
// How many tokens splitTokens would give, without making them.
size_t countTokens(std::string_view field);
std::string joinList(const std::vector<std::string>& tokens);

// Whole decimal numbers, with an optional sign; nothing else.
std::optional<int64_t> parseInteger(std::string_view text);

}  // namespace drg::source
