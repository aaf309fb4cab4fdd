// Compiling the row tables of codes and groups: dagger/asterisk pairs, the
// conditions of codes, the decision rows and the refinement rows.
#include <algorithm>
#include <array>
#include <tuple>

#include "conditions/derived_conditions.h"
#include "tablesource/compile_row_helpers.h"

namespace drg::source {

void compileDaggerAsterisk(CompileContext& c) {
    struct Pair {
        Dates dates;
        int16_t partner;
    };
    const uint16_t dxCount = c.tables.diagnosisIndex.count;
    std::vector<std::vector<Pair>> byPrincipal(dxCount);
    RowLimit pairs(kMostCount16, "pairs (the pair count is a 16-bit number)");
    forEachRow(c, SourceTable::DaggerAsterisk, [&](const RowReader& row) {
        const auto principal = row.codeToken("principal", row.raw("principal"), true, true);
        const auto partner = row.codeToken("partner", row.raw("partner"), true, false);
        const auto dates = readDates(row);
        if (principal && partner && dates && pairs.admit(row))
            byPrincipal[keyOf(*principal)].push_back({*dates, *partner});
    });
    if (pairs.exceeded()) return;
    const auto laid = layOut(byPrincipal);
    auto& t = c.tables.daggerAsterisk;
    t.diagnosisCount = dxCount;
    t.pairCount = static_cast<uint16_t>(laid.rows.size());
    t.pairBegin = narrowed<int32_t>(laid.begin);
    t.pairEnd = narrowed<int32_t>(laid.end);
    for (const auto& p : laid.rows) {
        t.pairValidFrom.push_back(p.dates.from);
        t.pairValidTo.push_back(p.dates.to);
        t.pairPartner.push_back(p.partner);
    }
}

void compileCodeConditions(CompileContext& c) {
    struct Entry {
        char tag;
        Dates dates;
        int16_t condition;
        int line;
    };
    // Both files fill one entry list.
    RowLimit entries(kMostCount32, "code condition entries (the entry count is a 32-bit number)");
    auto read = [&](SourceTable table, bool diagnosis, size_t keys) {
        std::vector<std::vector<Entry>> byCode(keys);
        forEachRow(c, table, [&](const RowReader& row) {
            const auto id = row.codeToken("code", row.raw("code"), diagnosis, false);
            const auto condition = row.conditionToken("condition", row.raw("condition"), false);
            const auto tag = row.byte("tag", kDefaultTag);
            const auto dates = readDates(row);
            if (!id || !condition || !tag || !dates || !entries.admit(row)) return;
            // A code whose id was refused also reads as id 0: only the refusal is news.
            if (*id == 0 && !c.diagnostics.hasErrors())
                row.warning("code", "'" + shown(row.raw("code")) + "' has id 0, so this row is never read");
            if (isDerivedCondition(*condition))
                row.warning("condition", "condition " + std::to_string(*condition) +
                                             " is derived from the record; raised by a code as well, it holds "
                                             "whatever its rule says");
            byCode[keyOf(*id)].push_back({*tag, *dates, static_cast<int16_t>(*condition), row.line()});
            c.conditionUse.raised.insert(*condition);
        });
        // A code raises a condition once a day: a second entry on the same
        // day would count as a second code that raises it.
        for (auto sorted : byCode) {
            std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) {
                return std::tie(a.condition, a.dates.from) < std::tie(b.condition, b.dates.from);
            });
            const Entry* reaching = nullptr;  // of the rows so far, the one whose dates reach furthest
            for (const Entry& e : sorted) {
                if (e.dates.empty()) continue;
                if (reaching && reaching->condition == e.condition && e.dates.from <= reaching->dates.to) {
                    c.diagnostics.warning(c.fileName(table), std::max(e.line, reaching->line), "condition",
                              "the code raises condition " + std::to_string(e.condition) + " at line " +
                                  std::to_string(std::min(e.line, reaching->line)) +
                                  " too, on days both rows cover: it would count twice");
                }
                if (!reaching || reaching->condition != e.condition || e.dates.to > reaching->dates.to) reaching = &e;
            }
        }
        return layOut(byCode);
    };
    auto& t = c.tables.codeConditions;
    t.diagnosisCount = c.tables.diagnosisIndex.count;
    t.procedureCount = c.tables.procedureIndex.count;
    const auto diagnoses = read(SourceTable::DiagnosisConditions, true, t.diagnosisCount);
    const auto procedures = read(SourceTable::ProcedureConditions, false, t.procedureCount);
    if (entries.exceeded()) return;
    // Procedure entries follow the diagnosis entries in the one shared list.
    const auto offset = static_cast<int64_t>(diagnoses.rows.size());
    t.diagnosisEntryBegin = narrowed<int32_t>(diagnoses.begin);
    t.diagnosisEntryEnd = narrowed<int32_t>(diagnoses.end);
    t.procedureEntryBegin = narrowed<int32_t>(procedures.begin, offset);
    t.procedureEntryEnd = narrowed<int32_t>(procedures.end, offset);
    for (const auto* list : {&diagnoses.rows, &procedures.rows})
        for (const auto& e : *list) {
            t.entryTag.push_back(static_cast<uint8_t>(e.tag));
            t.entryValidFrom.push_back(e.dates.from);
            t.entryValidTo.push_back(e.dates.to);
            t.entryCondition.push_back(e.condition);
        }
    t.entryCount = static_cast<int32_t>(t.entryCondition.size());
}

namespace {

struct DecisionRow {
    Dates dates;
    std::array<int16_t, kRowConditionColumns> conditions;
    int16_t mdc, adrg;
    int line;
};

// Whether `earlier` holds on every record on which `later` holds: it asks
// for no more conditions, and its dates cover the later row's. Places that
// hold 0 (always set) or the condition count (never set, in must-not-hold)
// ask for nothing.
bool decisionWins(const DecisionRow& earlier, const DecisionRow& later, int conditionCount) {
    if (earlier.dates.empty() || !earlier.dates.covers(later.dates)) return false;
    auto within = [&](size_t begin, bool mustHold) {
        for (size_t k = begin; k < begin + kMustBeSetColumns; ++k) {
            const int n = earlier.conditions[k];
            if (n == 0 || (!mustHold && n == conditionCount)) continue;
            if (mustHold && n == conditionCount) return false;  // the earlier row never holds
            const auto first = later.conditions.begin() + static_cast<long>(begin);
            if (std::find(first, first + kMustBeSetColumns, n) == first + kMustBeSetColumns) return false;
        }
        return true;
    };
    return within(0, true) && within(kMustBeSetColumns, false);
}

}  // namespace

void compileDecisionTables(CompileContext& c) {
    // Without the first version, stays before the first dated one meet an
    // empty decision table: the source then most likely lost a file.
    const auto& versionDates = layoutOf(SourceTable::Decisions).versionDates;
    for (size_t v = 1; !c.present(SourceTable::Decisions, 0) && v < versionDates.size(); ++v)
        if (c.present(SourceTable::Decisions, static_cast<int>(v))) {
            c.diagnostics.warning(c.fileName(SourceTable::Decisions, static_cast<int>(v)), 0,
                                  c.fileName(SourceTable::Decisions) + " (the first version) is missing: stays before " +
                                      versionDates[v] + " find no decision row and get no MDC");
            break;
        }
    const size_t ranges = c.tables.mdcCodes.count;
    compileEachVersion(c, SourceTable::Decisions, c.tables.decisionTables, [&](DecisionTable& table, int version) {
        std::vector<std::vector<DecisionRow>> byRange(ranges);
        std::vector<std::string> rangeTexts(ranges);
        RowLimit rows(kMostRows16, kRows16);
        forEachRow(c, SourceTable::Decisions, version, [&](const RowReader& reader) {
            DecisionRow row{};
            bool ok = true;
            const auto range = reader.groupToken("range", reader.raw("range"), GroupKind::Mdc, false);
            for (int half = 0; half < 2; ++half) {
                const std::string column = half == 0 ? "must_hold" : "must_not_hold";
                // Counted before splitting: a field may hold millions of tokens.
                if (const size_t count = countTokens(reader.raw(column)); count > static_cast<size_t>(kMustBeSetColumns)) {
                    reader.error(column, std::to_string(count) + " conditions, at most " +
                                             std::to_string(kMustBeSetColumns) + " fit");
                    ok = false;
                    continue;
                }
                const auto tokens = splitList(reader.raw(column));
                if (reader.raw(column).empty()) {
                    reader.error(column, "empty field (write '-' for no condition)");
                    ok = false;
                }
                for (size_t k = 0; k < tokens.size(); ++k) {
                    const auto n = reader.conditionToken(column, tokens[k], true);
                    if (!n) {
                        ok = false;
                        continue;
                    }
                    // The table marks an empty must-not-hold place with 0, so
                    // "condition 0 must not hold" (a row that never holds)
                    // cannot be stored: the row holds as if it were not there.
                    if (*n == 0 && half == 1)
                        reader.warning(column, "condition 0 always holds, but the grouper reads a 0 here as an empty "
                                               "place that tests nothing (write '-' or leave it out)");
                    row.conditions[static_cast<size_t>(half * kMustBeSetColumns) + k] = static_cast<int16_t>(*n);
                }
            }
            const auto mdc = reader.groupToken("mdc", reader.raw("mdc"), GroupKind::Mdc, true);
            const auto adrg = reader.groupToken("adrg", reader.raw("adrg"), GroupKind::Adrg, true);
            const auto dates = readDates(reader);
            if (!range || !mdc || !adrg || !dates || !ok || !rows.admit(reader)) return;
            row.dates = *dates;
            // Entries of both lists end at kMostSigned16, so they fit.
            row.mdc = static_cast<int16_t>(*mdc);
            row.adrg = static_cast<int16_t>(*adrg);
            row.line = reader.line();
            byRange[static_cast<size_t>(*range)].push_back(row);
            if (rangeTexts[static_cast<size_t>(*range)].empty()) rangeTexts[static_cast<size_t>(*range)] = reader.raw("range");
            if (*adrg > 0) c.adrgsGiven.insert(*adrg);
            c.firstDecisionDay = std::min(c.firstDecisionDay.value_or(row.dates.from), row.dates.from);
            for (int16_t n : row.conditions)
                if (n != 0) c.conditionUse.tested.insert(n);
            const auto notHeld = row.conditions.begin() + kMustBeSetColumns;
            for (auto held = row.conditions.begin(); held != notHeld; ++held) {
                if (*held == 0) continue;
                c.conditionUse.firstRequired.try_emplace(*held, c.fileName(SourceTable::Decisions, version), row.line);
                if (*held != c.conditionCount && std::find(notHeld, row.conditions.end(), *held) != row.conditions.end())
                    reader.warning("must_not_hold", "condition " + std::to_string(*held) +
                                                        " must hold and must not: the row never holds");
            }
    });
    if (rows.exceeded()) return;
    HiddenRows hidden(c, c.fileName(SourceTable::Decisions, version), "must_hold", "conditions and dates");
    for (size_t r = 0; r < ranges; ++r) {
        const auto& rowsOfRange = byRange[r];
        hidden.check(linesOf(rowsOfRange), "range " + rangeTexts[r], [&](size_t i, size_t j) {
            return decisionWins(rowsOfRange[i], rowsOfRange[j], c.conditionCount);
        });
    }
    const auto laid = layOut(byRange);
    table = DecisionTable{};
    table.entryCount = static_cast<uint16_t>(ranges);
    table.rowCount = static_cast<uint16_t>(laid.rows.size());
    table.rowBegin = narrowed<int16_t>(laid.begin);
    table.rowEnd = narrowed<int16_t>(laid.end);
    for (const auto& row : laid.rows) {
        table.rowValidFrom.push_back(row.dates.from);
        table.rowValidTo.push_back(row.dates.to);
        table.rowConditions.insert(table.rowConditions.end(), row.conditions.begin(), row.conditions.end());
        table.rowMdc.push_back(row.mdc);
        table.rowAdrg.push_back(row.adrg);
    }
    });
}

namespace {

// Whether the ADRG of entry `adrg` and `suffix` make a listed refined code,
// as the grouper looks it up: the ADRG text up to a NUL, then the suffix; a
// code that the placeholder entry holds counts as not found.
bool refinedCodeListed(const CompileContext& c, int adrg, char suffix, std::string* code) {
    std::string key(groupWidth(GroupKind::Refined), '\0');
    const std::string& text = c.groupTexts.at(GroupKind::Adrg)[static_cast<size_t>(adrg)];
    for (size_t k = 0; k < text.size() && text[k] != '\0'; ++k) key[k] = text[k];
    key.back() = suffix;
    *code = key;
    if (key == c.groupTexts.at(GroupKind::Refined)[0]) return false;
    return c.firstEntries.at(GroupKind::Refined).count(key) > 0;
}

struct RefinementRow {
    int16_t minAge, maxAge;
    Dates dates;
    char suffix;
    int line;
};

// The stays of an ADRG that a decision row gives but no refinement row fits
// get DRG 000000: on days without a row in force, or at ages between the
// rows' ages (ages below or above every row may be meant, as for an ADRG of
// adults).
void reportUnrefinedStays(CompileContext& c, const std::vector<std::vector<RefinementRow>>& byAdrg) {
    if (!c.firstDecisionDay || c.diagnostics.hasErrors() || c.unusable.count(SourceTable::Refinements)) return;
    const auto& lines = c.groupLines[GroupKind::Adrg];
    const auto& texts = c.groupTexts[GroupKind::Adrg];
    for (const int a : c.adrgsGiven) {
        if (static_cast<size_t>(a) >= byAdrg.size() || static_cast<size_t>(a) >= lines.size()) continue;
        const std::string adrg = "ADRG '" + entryText(texts[static_cast<size_t>(a)]) + "'";
        const auto warn = [&](const std::string& what) {
            c.diagnostics.warning(c.fileName(SourceTable::Adrgs), lines[static_cast<size_t>(a)], "code",
                                  adrg + " " + what + ", so its stays get DRG 000000");
        };
        std::vector<Dates> spans;
        std::vector<std::pair<int, int>> ages;
        for (const auto& row : byAdrg[static_cast<size_t>(a)]) {
            spans.push_back(row.dates);
            if (row.minAge <= row.maxAge) ages.emplace_back(row.minAge, row.maxAge);
        }
        if (spans.empty()) {
            warn("has no refinement row");
            continue;
        }
        if (const auto gaps = uncoveredPeriods(spans, *c.firstDecisionDay); !gaps.empty()) {
            warn("has no refinement row in force " + periodText(gaps[0].from, gaps[0].to));
            continue;
        }
        std::sort(ages.begin(), ages.end());
        int reach = ages.empty() ? 0 : ages[0].second;  // the highest age fitted so far
        for (size_t k = 1; k < ages.size(); ++k) {
            if (ages[k].first > reach + 1) {
                warn("has no refinement row for ages " + std::to_string(reach + 1) + " to " +
                     std::to_string(ages[k].first - 1));
                break;
            }
            reach = std::max(reach, ages[k].second);
        }
    }
}

}  // namespace

void compileRefinements(CompileContext& c) {
    using Row = RefinementRow;
    const size_t adrgs = c.tables.adrgCodes.count;
    std::vector<std::vector<Row>> byAdrg(adrgs);
    std::vector<std::string> adrgTexts(adrgs);
    RowLimit rows(kMostRows16, kRows16);
    forEachRow(c, SourceTable::Refinements, [&](const RowReader& reader) {
        const auto adrg = reader.groupToken("adrg", reader.raw("adrg"), GroupKind::Adrg, false);
        const auto minAge = reader.integer("min_age", INT16_MIN, INT16_MAX);
        const auto maxAge = reader.integer("max_age", INT16_MIN, INT16_MAX);
        std::optional<char> suffix;
        if (reader.text("suffix")) suffix = reader.byte("suffix", ' ');
        const auto dates = readDates(reader);
        if (!adrg || !minAge || !maxAge || !suffix || !dates || !rows.admit(reader)) return;
        if (*minAge > *maxAge)
            reader.invalid("min_age", std::to_string(*minAge) + " is above max_age " + std::to_string(*maxAge) +
                                          ": the row fits no age");
        std::string code;
        if (!c.unusable.count(SourceTable::Refined) && !refinedCodeListed(c, *adrg, *suffix, &code))
            reader.invalid("suffix", "gives refined code '" + shown(escapeToken(code)) + "', which " +
                                         (code == c.groupTexts.at(GroupKind::Refined)[0]
                                              ? std::string("the placeholder entry (placeholder.Taadrg.idx in "
                                                            "release.tsv) holds too, so the grouper never finds it")
                                              : "is not listed in " + c.fileName(SourceTable::Refined)) +
                                         " (the DRG would be 000000)");
        byAdrg[static_cast<size_t>(*adrg)].push_back(
            {static_cast<int16_t>(*minAge), static_cast<int16_t>(*maxAge), *dates, *suffix, reader.line()});
        if (adrgTexts[static_cast<size_t>(*adrg)].empty()) adrgTexts[static_cast<size_t>(*adrg)] = reader.raw("adrg");
    });
    if (rows.exceeded()) return;
    HiddenRows hidden(c, c.fileName(SourceTable::Refinements), "min_age", "ages and dates");
    for (size_t a = 0; a < adrgs; ++a) {
        const auto& rowsOfAdrg = byAdrg[a];
        hidden.check(linesOf(rowsOfAdrg), "ADRG " + adrgTexts[a], [&](size_t i, size_t j) {
            const Row &earlier = rowsOfAdrg[i], &later = rowsOfAdrg[j];
            return earlier.minAge <= earlier.maxAge && earlier.minAge <= later.minAge &&
                   later.maxAge <= earlier.maxAge && !earlier.dates.empty() && earlier.dates.covers(later.dates);
        });
    }
    reportUnrefinedStays(c, byAdrg);
    const auto laid = layOut(byAdrg);
    auto& t = c.tables.refinement;
    t.adrgCount = static_cast<uint16_t>(adrgs);
    t.rowCount = static_cast<uint16_t>(laid.rows.size());
    t.refinementBegin = narrowed<int16_t>(laid.begin);
    t.refinementEnd = narrowed<int16_t>(laid.end);
    for (const auto& row : laid.rows) {
        t.refinementMinAge.push_back(row.minAge);
        t.refinementMaxAge.push_back(row.maxAge);
        t.refinementValidFrom.push_back(row.dates.from);
        t.refinementValidTo.push_back(row.dates.to);
        t.refinementSuffix.push_back(row.suffix);
    }
}

}  // namespace drg::source
