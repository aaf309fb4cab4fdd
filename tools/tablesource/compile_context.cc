#include "tablesource/compile_context.h"

#include <algorithm>

namespace drg::source {

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

void RowReader::error(const std::string& message) const {
    context_.diagnostics.error(fileName_, row_.line, message);
}

void RowReader::warning(const std::string& message) const {
    context_.diagnostics.warning(fileName_, row_.line, message);
}

std::optional<std::string> RowReader::text(const std::string& column) const {
    const std::string& value = file_.field(row_, column);
    if (value.empty()) {
        error("column '" + column + "' is empty");
        return std::nullopt;
    }
    return value;
}

std::optional<int64_t> RowReader::integer(const std::string& column, int64_t low, int64_t high) const {
    const auto value = text(column);
    if (!value) return std::nullopt;
    const auto number = parseInteger(*value);
    if (!number || *number < low || *number > high) {
        error(column + " '" + shown(*value) + "' is not a whole number from " + std::to_string(low) + " to " +
              std::to_string(high));
        return std::nullopt;
    }
    return number;
}

std::optional<int32_t> RowReader::date(const std::string& column, int32_t open) const {
    const std::string& value = file_.field(row_, column);
    if (value.empty() || value == "-") return open;
    const auto number = parseInteger(value);
    if (!number || *number < INT32_MIN || *number > INT32_MAX) {
        error(column + " '" + shown(value) + "' is not a date YYYYMMDD or '-'");
        return std::nullopt;
    }
    return static_cast<int32_t>(*number);
}

std::optional<char> RowReader::byte(const std::string& column, char fallback) const {
    const std::string& value = file_.field(row_, column);
    if (value.empty()) return fallback;
    const auto b = byteToken(value);
    if (!b) error(column + " '" + shown(value) + "' is not one character");
    return b;
}

std::optional<std::string> RowReader::bytes(const std::string& column, size_t width) const {
    const auto value = text(column);
    if (!value) return std::nullopt;
    std::string raw, problem;
    if (!unescape(*value, raw, problem)) {
        error(problem);
        return std::nullopt;
    }
    if (raw.size() != width) {
        error(column + " '" + shown(*value) + "' is not " + std::to_string(width) + " characters");
        return std::nullopt;
    }
    return raw;
}

std::optional<char> RowReader::byteToken(const std::string& token) const {
    std::string raw, problem;
    if (!unescape(token, raw, problem) || raw.size() != 1) return std::nullopt;
    return raw[0];
}

std::optional<int16_t> RowReader::codeToken(const std::string& token, bool diagnosis, bool noneAllowed) const {
    const char* kind = diagnosis ? "diagnosis" : "procedure";
    if (token == "-") {
        if (noneAllowed) return int16_t{0};
        error("a " + std::string(kind) + " code is needed here, not '-'");
        return std::nullopt;
    }
    std::string raw, problem;
    if (!unescape(token, raw, problem)) {
        error(problem);
        return std::nullopt;
    }
    const auto padded = paddedCode(raw, diagnosis ? 6 : 5, problem);
    if (!padded) {
        error(problem);
        return std::nullopt;
    }
    const auto& ids = diagnosis ? context_.diagnosisIds : context_.procedureIds;
    auto it = ids.find(*padded);
    if (it == ids.end()) {
        error(std::string(kind) + " code '" + shown(token) + "' is not listed in " +
              (diagnosis ? "diagnoses.tsv" : "procedures.tsv"));
        return std::nullopt;
    }
    return it->second;
}

std::optional<int> RowReader::groupToken(const std::string& token, GroupKind kind, bool noneAllowed) const {
    const auto& texts = context_.groupTexts.at(kind);
    const auto& firstEntries = context_.firstEntries.at(kind);
    if (token == "-") {
        if (noneAllowed) return 0;
        error(std::string("an ") + groupName(kind) + " is needed here, not '-'");
        return std::nullopt;
    }
    if (token.size() > 1 && token[0] == '@') {
        const auto n = parseInteger(token.substr(1));
        if (!n || *n < (noneAllowed ? 0 : 1) || *n >= static_cast<int64_t>(texts.size())) {
            error(std::string(groupName(kind)) + " entry '" + shown(token) + "' does not exist");
            return std::nullopt;
        }
        return static_cast<int>(*n);
    }
    std::string raw, problem;
    if (!unescape(token, raw, problem)) {
        error(problem);
        return std::nullopt;
    }
    const auto padded = paddedCode(raw, groupWidth(kind), problem);
    if (padded) {
        if (auto it = firstEntries.find(*padded); it != firstEntries.end()) return it->second;
        problem = "unknown " + std::string(groupName(kind)) + " '" + shown(token) + "'";
    }
    error(problem);
    return std::nullopt;
}

std::optional<int> RowReader::conditionToken(const std::string& token, int highest) const {
    const size_t colon = token.find(':');
    const std::string number = token.substr(0, colon);
    const auto n = parseInteger(number);
    if (!n || *n < 0 || *n > highest) {
        error("condition '" + shown(token) + "' is not a number from 0 to " + std::to_string(highest));
        return std::nullopt;
    }
    if (colon != std::string::npos) {
        const std::string label = token.substr(colon + 1);
        auto it = context_.conditionLabels.find(static_cast<int>(*n));
        if (it == context_.conditionLabels.end()) {
            error("condition " + number + " has no label in conditions.tsv, but is written '" + shown(token) + "'");
            return std::nullopt;
        }
        if (it->second != label) {
            error("condition " + number + " is labelled '" + shown(it->second) + "' in conditions.tsv, not '" +
                  shown(label) + "'");
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
    if (!exceeded_) row.error("more than " + std::to_string(most_) + " " + what_);
    exceeded_ = true;
    return false;
}

bool checkColumns(CompileContext& context, const std::string& fileName, const SourceFile& file,
                  const SourceTableLayout& layout) {
    bool usable = true;
    for (const auto& column : file.columns) {
        const bool known = isRemarkColumn(column) ||
                           std::count(layout.required.begin(), layout.required.end(), column) > 0 ||
                           std::count(layout.optional.begin(), layout.optional.end(), column) > 0;
        if (!known) {
            context.diagnostics.error(fileName, file.headerLine, "unknown column '" + shown(column) + "'");
            usable = false;
        }
    }
    for (const auto& column : layout.required)
        if (file.column(column) < 0) {
            context.diagnostics.error(fileName, file.headerLine, "column '" + column + "' is missing");
            usable = false;
        }
    return usable;
}

}  // namespace drg::source
