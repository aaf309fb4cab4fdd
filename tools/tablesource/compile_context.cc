#include "tablesource/compile_context.h"

#include <algorithm>

namespace drg::source {
namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace

const char* groupName(GroupKind kind) {
    switch (kind) {
    case GroupKind::Mdc: return "MDC";
    case GroupKind::Adrg: return "ADRG";
    default: return "refined code";
    }
}

size_t groupWidth(GroupKind kind) {
    switch (kind) {
    case GroupKind::Mdc: return 3;
    case GroupKind::Adrg: return 4;
    default: return 5;
    }
}

SourceTable groupTable(GroupKind kind) {
    switch (kind) {
    case GroupKind::Mdc: return SourceTable::Mdcs;
    case GroupKind::Adrg: return SourceTable::Adrgs;
    default: return SourceTable::Refined;
    }
}

std::optional<std::string> paddedCode(const std::string& bytes, size_t width, std::string& error) {
    if (bytes.empty()) {
        error = "empty code";
        return std::nullopt;
    }
    if (bytes.size() > width) {
        error = "code '" + shown(escapeText(bytes)) + "' is longer than " + std::to_string(width) + " characters";
        return std::nullopt;
    }
    std::string padded = bytes;
    padded.resize(width, ' ');
    return padded;
}

const std::string& CompileContext::fileName(SourceTable table, int version) const {
    const std::string name = sourceFileName(table, version), old = oldSourceFileName(table, version);
    if (auto it = source.find(name); it != source.end()) return it->first;
    if (auto it = source.find(old); !old.empty() && it != source.end()) return it->first;
    // Names of files that are not there; kept so that a reference can be returned.
    static const std::map<std::pair<SourceTable, int>, std::string> absent = [] {
        std::map<std::pair<SourceTable, int>, std::string> names;
        for (const auto& layout : sourceTableLayouts())
            for (size_t v = 0; v < layout.versionDates.size(); ++v)
                names[{layout.table, static_cast<int>(v)}] = sourceFileName(layout.table, static_cast<int>(v));
        return names;
    }();
    return absent.at({table, version});
}

void CompileContext::invalid(const std::string& file, int line, const std::string& column,
                             const std::string& message) const {
    if (options.allowInvalid) diagnostics.warning(file, line, column, message);
    else diagnostics.error(file, line, column, message);
}

void RowReader::error(const std::string& column, const std::string& message) const {
    context_.diagnostics.error(fileName_, row_.line, column, message);
}

void RowReader::warning(const std::string& column, const std::string& message) const {
    context_.diagnostics.warning(fileName_, row_.line, column, message);
}

void RowReader::invalid(const std::string& column, const std::string& message) const {
    context_.invalid(fileName_, row_.line, column, message);
}

const std::string& RowReader::raw(const std::string& column) const {
    if (file_.column(column) >= 0) return file_.field(row_, column);
    for (const auto& layout : sourceTableLayouts())
        for (const auto& [old, current] : layout.oldColumns)
            if (current == column && file_.column(old) >= 0) return file_.field(row_, old);
    return file_.field(row_, column);
}

std::optional<std::string> RowReader::text(const std::string& column) const {
    const std::string& value = raw(column);
    if (value.empty()) {
        error(column, "empty field");
        return std::nullopt;
    }
    return value;
}

std::optional<int64_t> RowReader::integer(const std::string& column, int64_t low, int64_t high) const {
    const auto value = text(column);
    if (!value) return std::nullopt;
    const auto number = parseInteger(*value);
    if (!number || *number < low || *number > high) {
        error(column, "'" + shown(*value) + "' is not a whole number from " + std::to_string(low) + " to " +
                          std::to_string(high));
        return std::nullopt;
    }
    return number;
}

std::optional<int32_t> RowReader::date(const std::string& column, int32_t open) const {
    const std::string& value = raw(column);
    if (value.empty() || value == "-") return open;
    const auto number = parseInteger(value);
    if (!number || *number < INT32_MIN || *number > INT32_MAX) {
        error(column, "'" + shown(value) + "' is not a date YYYYMMDD or '-'");
        return std::nullopt;
    }
    // A number that a table can hold, but no day.
    if (parseDateDigits(value) < 0 || !isCalendarDate(*number))
        invalid(column, "'" + shown(value) + "' is not a calendar date YYYYMMDD (or '-' for the open end)");
    return static_cast<int32_t>(*number);
}

std::optional<char> RowReader::byte(const std::string& column, char fallback) const {
    const std::string& value = raw(column);
    if (value.empty()) return fallback;
    const auto b = byteToken(value);
    if (!b) error(column, "'" + shown(value) + "' is not one character");
    return b;
}

std::optional<std::string> RowReader::bytes(const std::string& column, size_t width) const {
    const auto value = text(column);
    if (!value) return std::nullopt;
    std::string raw, problem;
    if (!unescape(*value, raw, problem)) {
        error(column, problem);
        return std::nullopt;
    }
    if (raw.size() != width) {
        error(column, "'" + shown(*value) + "' is not " + std::to_string(width) + " characters");
        return std::nullopt;
    }
    return raw;
}

std::optional<char> RowReader::byteToken(const std::string& token) const {
    std::string raw, problem;
    if (!unescape(token, raw, problem) || raw.size() != 1) return std::nullopt;
    return raw[0];
}

std::optional<int16_t> RowReader::codeToken(const std::string& column, const std::string& token, bool diagnosis,
                                            bool noneAllowed) const {
    const char* kind = diagnosis ? "diagnosis" : "procedure";
    if (token == "-") {
        if (noneAllowed) return int16_t{0};
        error(column, "a " + std::string(kind) + " code is needed here, not '-'");
        return std::nullopt;
    }
    std::string raw, problem;
    if (!unescape(token, raw, problem)) {
        error(column, problem);
        return std::nullopt;
    }
    const auto padded = paddedCode(raw, diagnosis ? 6 : 5, problem);
    if (!padded) {
        error(column, problem);
        return std::nullopt;
    }
    const auto& ids = diagnosis ? context_.diagnosisIds : context_.procedureIds;
    auto it = ids.find(*padded);
    if (it == ids.end()) {
        const SourceTable index = diagnosis ? SourceTable::Diagnoses : SourceTable::Procedures;
        // An index that could not be read is reported once, at its header.
        if (!context_.unusable.count(index))
            error(column, std::string(kind) + " code '" + shown(token) + "' is not listed in " +
                              context_.fileName(index));
        return std::nullopt;
    }
    return it->second;
}

std::optional<int> RowReader::groupToken(const std::string& column, const std::string& token, GroupKind kind,
                                         bool noneAllowed) const {
    const auto& texts = context_.groupTexts.at(kind);
    const auto& firstEntries = context_.firstEntries.at(kind);
    if (token == "-") {
        if (noneAllowed) return 0;
        error(column, std::string("an ") + groupName(kind) + " is needed here, not '-'");
        return std::nullopt;
    }
    if (token.size() > 1 && token[0] == '@') {
        const auto n = parseInteger(token.substr(1));
        if (!n || *n < (noneAllowed ? 0 : 1) || *n >= static_cast<int64_t>(texts.size())) {
            error(column, std::string(groupName(kind)) + " entry '" + shown(token) + "' does not exist");
            return std::nullopt;
        }
        return static_cast<int>(*n);
    }
    std::string raw, problem;
    if (!unescape(token, raw, problem)) {
        error(column, problem);
        return std::nullopt;
    }
    const auto padded = paddedCode(raw, groupWidth(kind), problem);
    if (padded) {
        if (auto it = firstEntries.find(*padded); it != firstEntries.end()) return it->second;
        if (context_.unusable.count(groupTable(kind))) return std::nullopt;  // reported at its header
        problem = std::string(groupName(kind)) + " '" + shown(token) + "' is not listed in " +
                  context_.fileName(groupTable(kind));
    }
    error(column, problem);
    return std::nullopt;
}

std::optional<int> RowReader::conditionToken(const std::string& column, const std::string& token,
                                             bool countAllowed) const {
    const int count = context_.conditionCount;
    // Rows hold condition numbers in 16-bit fields.
    const int highest = std::min(count - 1, static_cast<int>(kMostSigned16));
    const size_t colon = token.find(':');
    const std::string number = token.substr(0, colon);
    const auto n = parseInteger(number);
    const bool isCount = n && *n == count && countAllowed && count <= kMostSigned16;
    if (!n || *n < 0 || (*n > highest && !isCount)) {
        error(column, "condition '" + shown(token) + "' is not a condition number from 0 to " +
                          std::to_string(highest) +
                          (highest < count - 1 ? " (rows hold condition numbers in 16 bits)" : ""));
        return std::nullopt;
    }
    if (isCount)
        invalid(column, "condition " + number + " is the condition count, a condition that never holds (conditions "
                        "are numbered from 0 to " + std::to_string(highest) + ")");
    if (colon != std::string::npos && !context_.unusable.count(SourceTable::Conditions)) {
        const std::string label = token.substr(colon + 1);
        const std::string& conditions = context_.fileName(SourceTable::Conditions);
        auto it = context_.conditionLabels.find(static_cast<int>(*n));
        if (it == context_.conditionLabels.end()) {
            error(column, "condition " + number + " has no label in " + conditions + ", but is written '" +
                              shown(token) + "'");
            return std::nullopt;
        }
        if (it->second != label) {
            error(column, "condition " + number + " is labelled '" + shown(it->second) + "' in " + conditions +
                              ", not '" + shown(label) + "'");
            return std::nullopt;
        }
    }
    return static_cast<int>(*n);
}

bool RowLimit::admit(const RowReader& row) {
    if (count_ < most_) {
        ++count_;
        return true;
    }
    if (!exceeded_) row.error("", "more than " + std::to_string(most_) + " " + what_);
    exceeded_ = true;
    return false;
}

bool checkColumns(CompileContext& context, const std::string& fileName, const SourceFile& file,
                  const SourceTableLayout& layout) {
    if (!file.usable) return false;  // reported where it was read
    auto among = [](const std::vector<std::string>& names, const std::string& name) {
        return std::count(names.begin(), names.end(), name) > 0;
    };
    auto present = [&](const std::string& column) {
        if (file.column(column) >= 0) return true;
        for (const auto& [old, current] : layout.oldColumns)
            if (current == column && file.column(old) >= 0) return true;
        return false;
    };
    std::vector<std::string> missing, unknown;
    for (const auto& column : layout.required)
        if (!present(column)) missing.push_back(column);
    for (const auto& column : file.columns) {
        bool old = false;
        for (const auto& [oldName, current] : layout.oldColumns)
            if (column == oldName) {
                old = true;
                if (file.column(current) >= 0)
                    context.diagnostics.error(fileName, file.headerLine, column,
                                              "is the old name of column '" + current + "', which is also there");
                else
                    context.diagnostics.warning(fileName, file.headerLine, column,
                                                "is the old name of column '" + current + "'; read as that (rename it)");
            }
        if (!old && !isRemarkColumn(column) && !among(layout.required, column) && !among(layout.optional, column))
            unknown.push_back(column);
    }
    std::vector<std::string> known = layout.required;
    known.insert(known.end(), layout.optional.begin(), layout.optional.end());
    known.insert(known.end(), {"label", "note"});
    // An unknown column is most often a missing one misspelt: one message says both.
    for (const auto& column : unknown)
        context.diagnostics.error(fileName, file.headerLine,
                                  "unknown column '" + shown(column) + "'" +
                                      (missing.empty() ? "" : "; missing: " + listed(missing)) +
                                      " (the columns: " + listed(known) + ")");
    if (unknown.empty())
        for (const auto& column : missing)
            context.diagnostics.error(fileName, file.headerLine, "column '" + column + "' is missing");
    return missing.empty();
}

void reportOldFileNames(CompileContext& context) {
    for (const auto& layout : sourceTableLayouts())
        for (size_t v = 0; v < layout.versionDates.size(); ++v) {
            const int version = static_cast<int>(v);
            const std::string old = oldSourceFileName(layout.table, version);
            if (old.empty() || !context.source.count(old)) continue;
            const std::string current = sourceFileName(layout.table, version);
            if (context.source.count(current))
                context.diagnostics.error(old, 0, "is the old name of " + current + ", which is also there (remove one)");
            else
                context.diagnostics.warning(old, 0, "is the old name of " + current + "; read as that (rename it)");
        }
}

}  // namespace drg::source
