#include "tablesource/diagnostics.h"

#include <cstdio>

namespace drg::source {
namespace {

void appendHex(std::string& out, unsigned char c) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += hex;
}

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence of a printable character at
// text[i] (a byte of 0x80 or more), or 0.
size_t utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) -> unsigned char {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    const unsigned char lead = byte(0), next = byte(1);
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(next) && !(lead == 0xC2 && next < 0xA0) ? 2 : 0;
    size_t length = 0;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    if ((lead == 0xE0 && next < 0xA0) || (lead == 0xED && next > 0x9F) || (lead == 0xF0 && next < 0x90) ||
        (lead == 0xF4 && next > 0x8F))
        return 0;
    for (size_t k = 1; k < length; ++k)
        if (!continuation(byte(k))) return 0;
    return length;
}

}  // namespace

void Diagnostics::add(Diagnostic d) {
    if (strict_) d.warning = false;
    int& total = d.warning ? warnings_ : errors_;
    int& shownCount = d.warning ? shownWarnings_ : shownErrors_;
    ++total;
    if (shownCount >= kMostShown) return;
    ++shownCount;
    items_.push_back(std::move(d));
}

void Diagnostics::error(const std::string& file, int line, const std::string& message) {
    add({file, line, message, false, false, ""});
}

void Diagnostics::warning(const std::string& file, int line, const std::string& message) {
    add({file, line, message, true, false, ""});
}

void Diagnostics::error(const std::string& file, int line, const std::string& column, const std::string& message) {
    add({file, line, message, false, false, column});
}

void Diagnostics::warning(const std::string& file, int line, const std::string& column, const std::string& message) {
    add({file, line, message, true, false, column});
}

void Diagnostics::errorAt(const std::string& where, const std::string& message) {
    add({where, 0, message, false, true, ""});
}

void Diagnostics::warningAt(const std::string& where, const std::string& message) {
    add({where, 0, message, true, true, ""});
}

std::string formatDiagnostic(const Diagnostic& d, const std::string& directory) {
    if (d.isPath && d.file.empty()) return printable(d.message);  // a line complete in itself
    std::string where = d.isPath ? d.file : joinPath(directory, d.file);
    if (d.line > 0) where += ":" + std::to_string(d.line);
    return printable(where + ": " + (d.warning ? "warning: " : "") + (d.column.empty() ? "" : d.column + ": ") +
                     d.message);
}

std::vector<std::string> notShownLines(const Diagnostics& diagnostics) {
    std::vector<std::string> lines;
    auto line = [&](int count, const char* kind) {
        if (count > 0) lines.push_back("and " + std::to_string(count) + " more " + kind + (count == 1 ? "" : "s"));
    };
    line(diagnostics.errorsNotShown(), "error");
    line(diagnostics.warningsNotShown(), "warning");
    return lines;
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t length = c >= 0x80 ? utf8Length(text, i) : 0; length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            appendHex(out, c);
            ++i;
        }
    }
    return out;
}

std::string shown(std::string_view field) {
    constexpr size_t kMostBytes = 60;
    if (field.size() <= kMostBytes) return std::string(field);
    // Cut before a character, not inside one: a cut one would show as \xNN.
    size_t cut = kMostBytes;
    while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80) --cut;
    return std::string(field.substr(0, cut)) + "...";
}

}  // namespace drg::source
