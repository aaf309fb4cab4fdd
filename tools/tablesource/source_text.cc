#include "tablesource/source_text.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "tablesource/source_layout.h"

namespace drg::source {
namespace {

const std::string kEmpty;
// Every layout has fewer columns, remarks included.
constexpr size_t kMostColumns = 64;

std::string trimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::vector<std::string> splitTabs(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(trimBlanks(line.substr(start, tab == std::string_view::npos ? tab : tab - start)));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

void appendHex(std::string& out, unsigned char c) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += hex;
}

std::string escape(std::string_view bytes, bool token) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const bool edgeBlank = c == ' ' && (i == 0 || i + 1 == bytes.size());
        if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c > 0x7e || (c == ' ' && (token || edgeBlank)) || ((c == '#' || c == '@') && i == 0) ||
                 (c == '=' && token))
            appendHex(out, c);
        else out += static_cast<char>(c);
    }
    if (out == "-") return "\\x2d";
    return out;
}

std::string columnName(const std::vector<std::string>& columns, size_t i) {
    return i < columns.size() ? " (" + shown(columns[i]) + ")" : "";
}

// Calls visit(token) for each blank-separated token of `field` until it
// returns false; no token is copied, however long the field.
template <class Visit>
void forEachToken(std::string_view field, Visit&& visit) {
    for (size_t i = 0; i < field.size();) {
        while (i < field.size() && field[i] == ' ') ++i;
        size_t j = i;
        while (j < field.size() && field[j] != ' ') ++j;
        if (j > i && !visit(field.substr(i, j - i))) return;
        i = j;
    }
}

// What a row whose field count differs from the header's tells of its
// separators: fields are split at tabs only, so a blank typed for a tab
// joins two fields and a doubled or trailing tab adds one.
std::string shortRowHint(std::string_view line, const std::vector<std::string>& fields,
                         const std::vector<std::string>& columns) {
    for (size_t i = 0; i < fields.size(); ++i) {
        size_t tokens = 0;
        bool dash = false;
        forEachToken(fields[i], [&](std::string_view token) {
            dash = dash || token == "-";
            return ++tokens < 2 || !dash;
        });
        if (tokens > 1 && (!columnHoldsBlanks(columns[i]) || dash))
            return "; a blank where a tab was expected? field " + std::to_string(i + 1) + columnName(columns, i) +
                   " is '" + shown(fields[i]) + "'";
    }
    if (line.find('\t') == std::string_view::npos && (line.find(',') != line.npos || line.find(';') != line.npos))
        return "; the row holds no tab but commas or semicolons: fields are separated by one tab";
    return "; fields are separated by one tab, and only remark columns at the end may be left out";
}

// The same for a row with more fields than the header, read in place: a
// line of tabs alone would be millions of fields.
std::string wideRowHint(std::string_view line, const std::vector<std::string>& columns) {
    if (!line.empty() && line.back() == '\t') return "; a tab ends the row";
    bool previousEmpty = true;
    for (size_t i = 0, start = 0;; ++i) {
        const size_t tab = line.find('\t', start);
        const std::string_view field = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        const bool empty = field.find_first_not_of(' ') == std::string_view::npos;
        if (i > 0 && empty && !previousEmpty)
            return "; two tabs in a row after field " + std::to_string(i) + columnName(columns, i - 1);
        if (tab == std::string_view::npos) return "; fields are separated by one tab";
        previousEmpty = empty;
        start = tab + 1;
    }
}

// What is wrong with a header that names an empty column, or "".
std::string emptyColumnProblem(const std::vector<std::string>& columns) {
    const auto empty = [](const std::string& column) { return column.empty(); };
    const auto first = std::find_if(columns.begin(), columns.end(), empty);
    if (first == columns.end()) return "";
    const std::string number = std::to_string(first - columns.begin() + 1);
    // The columns after the last named one: tabs that end the line.
    const auto trailing = std::find_if_not(columns.rbegin(), columns.rend(), empty) - columns.rbegin();
    if (first - columns.begin() < static_cast<ptrdiff_t>(columns.size()) - trailing)
        return "the header names an empty column " + number + "; columns are separated by one tab";
    if (trailing == 1) return "the header ends in a tab, which names an empty column " + number;
    return "the header ends in " + std::to_string(trailing) + " tabs, which name empty columns " + number + " to " +
           std::to_string(columns.size());
}

// Fields a row may leave out: the remark columns at the end of the header.
size_t fewestFields(const std::vector<std::string>& columns) {
    size_t n = columns.size();
    while (n > 1 && isRemarkColumn(columns[n - 1])) --n;
    return n;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int SourceFile::column(std::string_view name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == name) return static_cast<int>(i);
    return -1;
}

const std::string& SourceFile::field(const SourceRow& row, std::string_view name) const {
    const int c = column(name);
    if (c < 0 || static_cast<size_t>(c) >= row.fields.size()) return kEmpty;
    return row.fields[static_cast<size_t>(c)];
}

SourceFile parseSourceText(const std::string& text, const std::string& fileName, Diagnostics& diagnostics,
                           size_t mostRows) {
    SourceFile file;
    bool haveHeader = false;
    size_t fewest = 0;
    int lineNumber = 0;
    // A file saved as UTF-16 reads as a header of stray bytes: say what it is
    // instead, and read no further.
    if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) {
        diagnostics.error(fileName, 1, "the file is UTF-16 text; save it as UTF-8");
        return SourceFile{0, {}, {}, {}, false};
    }
    // A byte-order mark is no part of the first column's name.
    size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    // Lines that end in a carriage return alone (as some spreadsheet
    // programs save text) would run together into one line, which a first
    // '#' makes a comment: name the first of them instead.
    for (size_t cr = text.find('\r', start); cr != std::string::npos; cr = text.find('\r', cr + 1))
        if (cr + 1 < text.size() && text[cr + 1] != '\n') {
            const auto line = 1 + std::count(text.begin() + static_cast<ptrdiff_t>(start),
                                              text.begin() + static_cast<ptrdiff_t>(cr), '\n');
            diagnostics.error(fileName, static_cast<int>(line),
                              "a carriage return ends no line here: lines end in LF or CR LF, not CR alone (a "
                              "carriage return in a field is written \\x0d)");
            return SourceFile{0, {}, {}, {}, false};
        }
    // Rows with more fields than the header, or fewer, held back: when every
    // row misfits the same way, the header is what is wrong, and one message
    // at the header says so instead of one per row; the file is then not
    // read, so rows that refer to it are not reported again.
    struct ShortRow {
        int line;
        std::string column, message;
    };
    std::vector<std::pair<int, std::string>> wideRows;
    std::vector<ShortRow> shortRows;
    size_t wideFields = 0;   // the fewest fields of a row that is too wide
    size_t shortFields = 0;  // the most fields of a row that is too short
    bool allWideAlike = true, allShortAlike = true;
    auto reportMisfitRows = [&] {
        const bool everyRow = file.rows.empty() && (wideRows.empty() || shortRows.empty());
        if (everyRow && wideRows.size() >= 2) {
            std::string hint = "; fields are separated by one tab";
            for (size_t i = 0; i < file.columns.size(); ++i)
                if (file.columns[i].find(' ') != std::string::npos) {
                    hint = "; a blank where a tab was expected? column " + std::to_string(i + 1) + " is '" +
                           shown(file.columns[i]) + "'";
                    break;
                }
            diagnostics.error(fileName, file.headerLine,
                              "the header names " + std::to_string(file.columns.size()) +
                                  " columns, but every row has " + std::to_string(wideFields) +
                                  (allWideAlike ? " fields" : " fields or more") + hint);
            file.usable = false;
        } else if (everyRow && shortRows.size() >= 2) {
            diagnostics.error(fileName, file.headerLine,
                              "the header names " + std::to_string(file.columns.size()) +
                                  " columns, but every row has " + std::to_string(shortFields) +
                                  (allShortAlike ? " fields" : " fields or fewer") +
                                  ": a column too many in the header?");
            file.usable = false;
        } else {
            for (const auto& [line, message] : wideRows) diagnostics.error(fileName, line, message);
            for (const auto& row : shortRows) diagnostics.error(fileName, row.line, row.column, row.message);
        }
        wideRows.clear();
        shortRows.clear();
    };
    // Comments, blank lines and rows in error are held too (to be written
    // back or reported), so a file's lines are bounded as well as its rows.
    const size_t mostLines = mostRows > kNoRowLimit / 2 ? kNoRowLimit : 2 * mostRows + 1;
    auto keepComment = [&](std::string_view line) {
        file.comments.push_back({haveHeader ? file.rows.size() : SourceComment::kAboveHeader, std::string(line)});
    };
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        if (static_cast<size_t>(lineNumber) > mostLines) {
            reportMisfitRows();
            diagnostics.error(fileName, lineNumber,
                              "holds more than " + std::to_string(mostLines) +
                                  " lines, the most read without --allow-large");
            return file;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos) {
            keepComment("");
            continue;
        }
        // A '#' after a tab starts a field of a row whose first field is empty, not a comment.
        if (line[first] == '#' && line.find('\t') > first) {
            keepComment(line);
            continue;
        }
        // Counted before splitting: a line of tabs alone must not become millions of fields.
        const size_t fieldCount = 1 + static_cast<size_t>(std::count(line.begin(), line.end(), '\t'));
        if (!haveHeader && fieldCount > kMostColumns) {
            diagnostics.error(fileName, lineNumber,
                              "the header names " + std::to_string(fieldCount) + " columns, more than the " +
                                  std::to_string(kMostColumns) + " a source file may have");
            return SourceFile{lineNumber, {}, {}, {}, false};
        }
        if (haveHeader && fieldCount > file.columns.size()) {
            allWideAlike = allWideAlike && (wideRows.empty() || fieldCount == wideFields);
            wideFields = wideRows.empty() ? fieldCount : std::min(wideFields, fieldCount);
            wideRows.emplace_back(lineNumber, "row has " + std::to_string(fieldCount) + " fields, the header names " +
                                                  std::to_string(file.columns.size()) + " columns" +
                                                  wideRowHint(line, file.columns));
            continue;
        }
        if (haveHeader && file.rows.size() == mostRows) {
            reportMisfitRows();
            diagnostics.error(fileName, lineNumber,
                              "holds more than " + std::to_string(mostRows) + " rows, the most read without --allow-large");
            return file;
        }
        auto fields = splitTabs(line);
        if (!haveHeader) {
            // An empty column name is a stray tab, most often one left at the
            // end of the line; the rows cannot be matched to the columns.
            if (const std::string problem = emptyColumnProblem(fields); !problem.empty()) {
                diagnostics.error(fileName, lineNumber, problem);
                return SourceFile{lineNumber, {}, {}, {}, false};
            }
            file.columns = std::move(fields);
            file.headerLine = lineNumber;
            haveHeader = true;
            fewest = fewestFields(file.columns);
            std::set<std::string_view> seen;
            for (const auto& column : file.columns)
                if (!seen.insert(column).second)
                    diagnostics.error(fileName, lineNumber, "column '" + shown(column) + "' appears twice");
            continue;
        }
        if (fields.size() < fewest) {
            allShortAlike = allShortAlike && (shortRows.empty() || fields.size() == shortFields);
            shortFields = shortRows.empty() ? fields.size() : std::max(shortFields, fields.size());
            shortRows.push_back({lineNumber, file.columns[fields.size()],
                                 "no field: the row has " + std::to_string(fields.size()) + " fields, the header names " +
                                     std::to_string(file.columns.size()) + " columns" +
                                     shortRowHint(line, fields, file.columns)});
            continue;
        }
        fields.resize(file.columns.size());
        file.rows.push_back({lineNumber, std::move(fields)});
    }
    reportMisfitRows();
    if (!haveHeader) {
        diagnostics.error(fileName, 0, "has no header row");
        file.usable = false;
    }
    return file;
}

std::string printSourceText(const SourceFile& file, const std::string& comment) {
    std::string out;
    auto commentsBefore = [&, next = size_t{0}](size_t row) mutable {
        for (; next < file.comments.size() && file.comments[next].beforeRow == row; ++next)
            out += file.comments[next].text + "\n";
    };
    const bool headed = !file.comments.empty() && file.comments[0].beforeRow == SourceComment::kAboveHeader;
    if (!comment.empty() && !headed) out += "# " + comment + "\n";
    auto line = [&](const std::vector<std::string>& fields) {
        // Remark fields left empty at the end of a row need no tabs.
        size_t n = fields.size();
        while (n > 1 && fields[n - 1].empty() && isRemarkColumn(file.columns[n - 1])) --n;
        for (size_t i = 0; i < n; ++i) {
            if (i > 0) out += '\t';
            out += fields[i];
        }
        out += '\n';
    };
    commentsBefore(SourceComment::kAboveHeader);
    line(file.columns);
    for (size_t r = 0; r < file.rows.size(); ++r) {
        commentsBefore(r);
        line(file.rows[r].fields);
    }
    commentsBefore(file.rows.size());
    return out;
}

bool sameContent(const SourceFile& a, const SourceFile& b) {
    if (a.columns != b.columns || a.rows.size() != b.rows.size()) return false;
    for (size_t i = 0; i < a.rows.size(); ++i)
        if (a.rows[i].fields != b.rows[i].fields) return false;
    return true;
}

std::string escapeToken(std::string_view bytes) { return escape(bytes, true); }
std::string escapeText(std::string_view bytes) { return escape(bytes, false); }

bool unescape(std::string_view text, std::string& bytes, std::string& error) {
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            bytes += '\\';
            ++i;
            continue;
        }
        if (i + 3 < text.size() && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0 && hexDigit(text[i + 3]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
            continue;
        }
        error = "malformed escape in '" + shown(text) + "' (use \\\\ or \\xNN)";
        return false;
    }
    return true;
}

std::vector<std::string> splitList(const std::string& field) {
    if (field == "-") return {};
    return splitTokens(field);
}

size_t countTokens(std::string_view field) {
    size_t tokens = 0;
    forEachToken(field, [&](std::string_view) { return ++tokens, true; });
    return tokens;
}

std::vector<std::string> splitTokens(const std::string& field) {
    std::vector<std::string> tokens;
    forEachToken(field, [&](std::string_view token) { return tokens.emplace_back(token), true; });
    return tokens;
}

std::string joinList(const std::vector<std::string>& tokens) {
    if (tokens.empty()) return "-";
    std::string out;
    for (const auto& t : tokens) {
        if (!out.empty()) out += ' ';
        out += t;
    }
    return out;
}

std::optional<int64_t> parseInteger(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size() || text.size() - i > 12) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

}  // namespace drg::source
