#include "tablesource/compile_checks.h"

#include <algorithm>

#include "conditions/derived_conditions.h"

namespace drg::source {
namespace {

// Comparisons of rows in one file before the check gives up: a key with tens
// of thousands of rows would otherwise take minutes.
constexpr uint64_t kMostComparisons = 50'000'000;

}  // namespace

std::string periodText(int64_t from, int64_t to) {
    if (from <= kOpenFrom && to >= kOpenTo) return "on any date";
    if (from <= kOpenFrom) return "up to " + std::to_string(to);
    if (to >= kOpenTo) return "from " + std::to_string(from) + " on";
    return "from " + std::to_string(from) + " to " + std::to_string(to);
}

void HiddenRows::check(const std::vector<int>& lines, const std::string& key,
                       const std::function<bool(size_t, size_t)>& wins) {
    // Only rows that are not hidden themselves need to be compared: what a
    // hidden row wins over, the row that hides it wins over too.
    std::vector<size_t> shown;
    for (size_t j = 0; j < lines.size(); ++j) {
        bool hidden = false;
        for (size_t i : shown) {
            if (++comparisons_ > kMostComparisons) return;
            if (!wins(i, j)) continue;
            const bool same = wins(j, i);
            context_.diagnostics.warning(
                fileName_, lines[j], column_,
                "never used: the row at line " + std::to_string(lines[i]) + " of " + key + " comes first and " +
                    (same ? "has the same " + what_ : "holds whenever this one does (its " + what_ + " cover this row's)"));
            hidden = true;
            break;
        }
        if (!hidden) shown.push_back(j);
    }
}

std::string entryText(const std::string& padded) {
    return escapeToken(padded.substr(0, padded.find_last_not_of(' ') + 1));
}

std::vector<Dates> uncoveredPeriods(std::vector<Dates> spans, int32_t first) {
    std::erase_if(spans, [](const Dates& d) { return d.empty(); });
    std::sort(spans.begin(), spans.end(), [](const Dates& a, const Dates& b) { return a.from < b.from; });
    std::vector<Dates> gaps;
    int64_t next = first;  // the first day not yet covered
    for (const Dates& span : spans) {
        if (span.from > next) gaps.push_back({static_cast<int32_t>(next), static_cast<int32_t>(dayBefore(span.from))});
        next = std::max(next, dayAfter(span.to));
        if (next > kOpenTo) return gaps;
    }
    gaps.push_back({static_cast<int32_t>(next), kOpenTo});
    return gaps;
}

void reportUnusedEntries(CompileContext& c) {
    // Rows that could not be read say nothing of what they give or test.
    if (c.diagnostics.hasErrors()) return;
    const auto& adrgLines = c.groupLines[GroupKind::Adrg];
    const auto& adrgTexts = c.groupTexts[GroupKind::Adrg];
    const std::string& adrgFile = c.fileName(SourceTable::Adrgs);
    // Without any decision row the release is not yet one to group with.
    for (size_t a = 1; c.firstDecisionDay && a < adrgLines.size(); ++a)
        if (!c.adrgsGiven.count(static_cast<int>(a)))
            c.diagnostics.warning(adrgFile, adrgLines[a], "code", "no decision row gives ADRG '" + entryText(adrgTexts[a]) + "'");
    // A row that asks for a condition nothing can raise never holds: most
    // likely a mistyped number.
    for (const auto& [n, where] : c.conditionUse.firstRequired)
        if (n != c.conditionCount && !isDerivedCondition(n) && !c.conditionUse.raised.count(n))
            c.diagnostics.warning(where.first, where.second, "must_hold",
                                  "condition " + std::to_string(n) +
                                      " is raised by no code row and derived by no rule: rows that ask for it never hold");
    const std::string& conditionFile = c.fileName(SourceTable::Conditions);
    for (const auto& [n, line] : c.conditionLines) {
        const bool raised = isDerivedCondition(n) || c.conditionUse.raised.count(n);
        const bool tested = c.conditionUse.tested.count(n) || readByDerivedRule(n);
        if (n != 0 && !raised && !tested)
            c.diagnostics.warning(conditionFile, line, "condition",
                                  "condition " + std::to_string(n) +
                                      " is raised by no code row and tested by no decision row or derived rule");
    }
}

}  // namespace drg::source
