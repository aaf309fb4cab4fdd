// Compiling the row tables: every table whose rows hang off a key (a code
// id, an MDC, an ADRG or a refined code) through begin and end arrays.
#include <algorithm>
#include <limits>
#include <set>
#include <unordered_map>

#include "tablesource/compile_steps.h"

namespace drg::source {
namespace {

constexpr size_t kMostRows16 = static_cast<size_t>(kMostSigned16);  // rows reached through int16 begin/end values
constexpr size_t kMostCount16 = 65535;                                // an unsigned 16-bit count
constexpr size_t kMostCount32 = static_cast<size_t>(std::numeric_limits<int32_t>::max());
// Rows and code entries hold condition numbers as int16.
constexpr int kHighestStoredCondition = static_cast<int>(kMostSigned16);

const char* const kRows16 = "rows (its row ranges are 16-bit numbers)";

// Rows grouped by key, laid out key after key into one array.
template <class Row>
struct LaidOut {
    std::vector<int64_t> begin, end;
    std::vector<Row> rows;
};

template <class Row>
LaidOut<Row> layOut(const std::vector<std::vector<Row>>& byKey) {
    LaidOut<Row> out;
    for (const auto& rows : byKey) {
        out.begin.push_back(static_cast<int64_t>(out.rows.size()));
        out.rows.insert(out.rows.end(), rows.begin(), rows.end());
        out.end.push_back(static_cast<int64_t>(out.rows.size()));
    }
    return out;
}

template <class T>
std::vector<T> narrowed(const std::vector<int64_t>& values, int64_t offset = 0) {
    std::vector<T> out;
    for (int64_t v : values) out.push_back(static_cast<T>(v + offset));
    return out;
}

struct Dates {
    int32_t from, to;
};

std::optional<Dates> readDates(const RowReader& row) {
    const auto from = row.date("from", kOpenFrom);
    const auto to = row.date("to", kOpenTo);
    if (!from || !to) return std::nullopt;
    return Dates{*from, *to};
}

// Code ids are checked to lie within their index when they are assigned.
size_t keyOf(int16_t id) { return static_cast<size_t>(id); }

bool presentInSource(const CompileContext& c, const std::string& fileName) {
    return c.source.find(fileName) != c.source.end();
}

// One level row as read: the level of every ADRG not listed, and the listed
// ones that differ from it, by ADRG entry. Two rows with the same profile
// give the same matrix row, so this is also the key that shares them.
struct LevelProfile {
    char fallback = '0';
    std::vector<std::pair<int, char>> exceptions;  // ascending by ADRG entry

    std::string key() const {
        std::string k(1, fallback);
        for (const auto& [adrg, level] : exceptions) {
            k += std::to_string(adrg);
            k += '=';
            k += level;
        }
        return k;
    }
};

// Reads the `levels` list of a row; nullopt after reporting a problem.
std::optional<LevelProfile> readLevelProfile(const RowReader& reader, char fallback) {
    LevelProfile profile{fallback, {}};
    bool ok = true;
    if (reader.raw("levels").empty()) {
        reader.error("column 'levels' is empty (write '-' when every ADRG has the default level)");
        ok = false;
    }
    std::vector<std::pair<int, std::string>> named;  // ADRG entry, as written
    for (const auto& token : splitList(reader.raw("levels"))) {
        const size_t equals = token.rfind('=');
        if (equals == std::string::npos) {
            reader.error("level '" + shown(token) + "' is not written ADRG=level");
            ok = false;
            continue;
        }
        const auto adrg = reader.groupToken(token.substr(0, equals), GroupKind::Adrg, false);
        const auto level = reader.byteToken(token.substr(equals + 1));
        if (!level) reader.error("level '" + shown(token) + "' does not end in one character");
        if (!adrg || !level) {
            ok = false;
            continue;
        }
        named.push_back({*adrg, token.substr(0, equals)});
        profile.exceptions.push_back({*adrg, *level});
    }
    std::stable_sort(profile.exceptions.begin(), profile.exceptions.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < named.size(); ++i)
        if (named[i].first == named[i - 1].first) {
            reader.error("ADRG '" + shown(named[i].second) + "' has two levels in this row");
            ok = false;
        }
    if (!ok) return std::nullopt;
    std::erase_if(profile.exceptions, [&](const auto& e) { return e.second == fallback; });
    return profile;
}

}  // namespace

void compileDaggerAsterisk(CompileContext& c) {
    struct Pair {
        Dates dates;
        int16_t partner;
    };
    const uint16_t dxCount = c.tables.diagnosisIndex.count;
    std::vector<std::vector<Pair>> byPrincipal(dxCount);
    RowLimit pairs(kMostCount16, "pairs (the pair count is a 16-bit number)");
    forEachRow(c, sourceFileName(SourceTable::DaggerAsterisk), [&](const RowReader& row) {
        const auto principal = row.codeToken(row.raw("principal"), true, true);
        const auto partner = row.codeToken(row.raw("partner"), true, false);
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
    };
    // Both files fill one entry list.
    RowLimit entries(kMostCount32, "code condition entries (the entry count is a 32-bit number)");
    auto read = [&](SourceTable table, bool diagnosis, size_t keys) {
        std::vector<std::vector<Entry>> byCode(keys);
        forEachRow(c, sourceFileName(table), [&](const RowReader& row) {
            const auto id = row.codeToken(row.raw("code"), diagnosis, false);
            const auto condition =
                row.conditionToken(row.raw("condition"), std::min(c.conditionCount - 1, kHighestStoredCondition));
            const auto tag = row.byte("tag", kDefaultTag);
            const auto dates = readDates(row);
            if (!id || !condition || !tag || !dates || !entries.admit(row)) return;
            if (*id == 0) row.warning("code '" + shown(row.raw("code")) + "' has id 0, so this row is never read");
            byCode[keyOf(*id)].push_back({*tag, *dates, static_cast<int16_t>(*condition)});
        });
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

void compileDecisionTables(CompileContext& c) {
    struct Row {
        Dates dates;
        std::array<int16_t, kRowConditionColumns> conditions;
        int16_t mdc, adrg;
    };
    const size_t ranges = c.tables.mdcCodes.count;
    const auto versions = layoutOf(SourceTable::Decisions).versionDates.size();
    for (size_t v = 0; v < versions; ++v) {
        const std::string fileName = sourceFileName(SourceTable::Decisions, static_cast<int>(v));
        DecisionTable& table = c.tables.decisionTables[v];
        if (v > 0 && !presentInSource(c, fileName)) {  // a version not given repeats the one before
            table = c.tables.decisionTables[v - 1];
            continue;
        }
        std::vector<std::vector<Row>> byRange(ranges);
        RowLimit rows(kMostRows16, kRows16);
        forEachRow(c, fileName, [&](const RowReader& reader) {
            Row row{};
            bool ok = true;
            const auto range = reader.groupToken(reader.raw("range"), GroupKind::Mdc, false);
            for (int half = 0; half < 2; ++half) {
                const std::string column = half == 0 ? "must_hold" : "must_not_hold";
                const auto tokens = splitList(reader.raw(column));
                if (reader.raw(column).empty()) {
                    reader.error("column '" + column + "' is empty (write '-' for no condition)");
                    ok = false;
                } else if (tokens.size() > static_cast<size_t>(kMustBeSetColumns)) {
                    reader.error(column + " lists " + std::to_string(tokens.size()) + " conditions, at most " +
                                 std::to_string(kMustBeSetColumns) + " fit");
                    ok = false;
                    continue;
                }
                for (size_t k = 0; k < tokens.size(); ++k) {
                    const auto n = reader.conditionToken(tokens[k], std::min(c.conditionCount, kHighestStoredCondition));
                    if (!n) ok = false;
                    else row.conditions[static_cast<size_t>(half * kMustBeSetColumns) + k] = static_cast<int16_t>(*n);
                }
            }
            const auto mdc = reader.groupToken(reader.raw("mdc"), GroupKind::Mdc, true);
            const auto adrg = reader.groupToken(reader.raw("adrg"), GroupKind::Adrg, true);
            const auto dates = readDates(reader);
            if (!range || !mdc || !adrg || !dates || !ok || !rows.admit(reader)) return;
            row.dates = *dates;
            // Entries of both lists end at kMostSigned16, so they fit.
            row.mdc = static_cast<int16_t>(*mdc);
            row.adrg = static_cast<int16_t>(*adrg);
            byRange[static_cast<size_t>(*range)].push_back(row);
        });
        if (rows.exceeded()) continue;
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
    }
}

void compileRefinements(CompileContext& c) {
    struct Row {
        int16_t minAge, maxAge;
        Dates dates;
        char suffix;
    };
    const size_t adrgs = c.tables.adrgCodes.count;
    std::vector<std::vector<Row>> byAdrg(adrgs);
    const std::string fileName = sourceFileName(SourceTable::Refinements);
    RowLimit rows(kMostRows16, kRows16);
    forEachRow(c, fileName, [&](const RowReader& reader) {
        const auto adrg = reader.groupToken(reader.raw("adrg"), GroupKind::Adrg, false);
        const auto minAge = reader.integer("min_age", INT16_MIN, INT16_MAX);
        const auto maxAge = reader.integer("max_age", INT16_MIN, INT16_MAX);
        const auto suffix = reader.text("suffix") ? reader.byte("suffix", ' ') : std::nullopt;
        const auto dates = readDates(reader);
        if (!adrg || !minAge || !maxAge || !suffix || !dates || !rows.admit(reader)) return;
        byAdrg[static_cast<size_t>(*adrg)].push_back(
            {static_cast<int16_t>(*minAge), static_cast<int16_t>(*maxAge), *dates, *suffix});
    });
    if (rows.exceeded()) return;
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

void compileLevelTables(CompileContext& c) {
    struct Row {
        Dates dates;
        int16_t profile;
    };
    const size_t dxCount = c.tables.diagnosisIndex.count;
    const size_t columns = c.tables.adrgCodes.count;
    const auto versions = layoutOf(SourceTable::Levels).versionDates.size();
    for (size_t v = 0; v < versions; ++v) {
        const std::string fileName = sourceFileName(SourceTable::Levels, static_cast<int>(v));
        ComplicationLevelTable& table = c.tables.levelTables[v];
        if (v > 0 && !presentInSource(c, fileName)) {
            table = c.tables.levelTables[v - 1];
            continue;
        }
        std::vector<std::vector<Row>> byCode(dxCount);
        std::unordered_map<std::string, int16_t> profileNumbers;
        std::vector<LevelProfile> profiles;  // by number
        RowLimit rows(kMostRows16, kRows16);
        forEachRow(c, fileName, [&](const RowReader& reader) {
            const auto id = reader.codeToken(reader.raw("diagnosis"), true, false);
            const auto fallback = reader.text("default") ? reader.byte("default", '0') : std::nullopt;
            const auto dates = readDates(reader);
            if (!fallback) return;
            const auto profile = readLevelProfile(reader, *fallback);
            if (!id || !dates || !profile || !rows.admit(reader)) return;
            if (*id == 0)
                reader.warning("code '" + shown(reader.raw("diagnosis")) + "' has id 0, so this row is never read");
            // At most one new profile per row, so their numbers stay within the row limit.
            auto [it, added] = profileNumbers.try_emplace(profile->key(), static_cast<int16_t>(profiles.size()));
            if (added) profiles.push_back(*profile);
            byCode[keyOf(*id)].push_back({*dates, it->second});
        });
        if (rows.exceeded()) continue;
        // The matrix holds one row of every distinct profile across all ADRGs.
        const uint64_t matrixBytes = static_cast<uint64_t>(profiles.size()) * columns;
        if (matrixBytes > c.options.mostFileBytes) {
            c.diagnostics.error(fileName, 0,
                                "the complication level matrix would take " + mebibytes(matrixBytes) + " (" +
                                    std::to_string(profiles.size()) + " distinct level profiles x " +
                                    std::to_string(columns) + " ADRG columns), more than the " +
                                    mebibytes(c.options.mostFileBytes) + " allowed without --allow-large");
            continue;
        }
        const auto laid = layOut(byCode);
        table = ComplicationLevelTable{};
        table.cclDiagnosisCount = static_cast<uint16_t>(dxCount);
        table.cclRowCount = static_cast<uint16_t>(laid.rows.size());
        table.cclProfileCount = static_cast<uint16_t>(profiles.size());
        table.cclColumnCount = static_cast<uint16_t>(columns);
        table.cclRowBegin = narrowed<int16_t>(laid.begin);
        table.cclRowEnd = narrowed<int16_t>(laid.end);
        for (const auto& row : laid.rows) {
            table.cclValidFrom.push_back(row.dates.from);
            table.cclValidTo.push_back(row.dates.to);
            table.cclProfile.push_back(row.profile);
        }
        table.cclMatrix.reserve(static_cast<size_t>(matrixBytes));
        for (const auto& profile : profiles) {
            const size_t start = table.cclMatrix.size();
            table.cclMatrix.insert(table.cclMatrix.end(), columns, static_cast<uint8_t>(profile.fallback));
            for (const auto& [adrg, level] : profile.exceptions)
                table.cclMatrix[start + static_cast<size_t>(adrg)] = static_cast<uint8_t>(level);
        }
    }
}

void compileExclusionTables(CompileContext& c) {
    const size_t dxCount = c.tables.diagnosisIndex.count;
    const auto versions = layoutOf(SourceTable::Exclusions).versionDates.size();
    for (size_t v = 0; v < versions; ++v) {
        const std::string fileName = sourceFileName(SourceTable::Exclusions, static_cast<int>(v));
        CcExclusionTable& table = c.tables.exclusionTables[v];
        if (v > 0 && !presentInSource(c, fileName)) {
            table = c.tables.exclusionTables[v - 1];
            continue;
        }
        // Ascending and without repeats, as the membership test needs.
        std::vector<std::set<int16_t>> byCode(dxCount);
        // The first version counts its list in a 16-bit field, the later ones in 32 bits.
        RowLimit entries(v == 0 ? kMostCount16 : kMostCount32,
                         v == 0 ? "list entries (this version counts them in a 16-bit number)"
                                : "list entries (the count is a 32-bit number)");
        forEachRow(c, fileName, [&](const RowReader& reader) {
            const auto id = reader.codeToken(reader.raw("diagnosis"), true, false);
            std::vector<int16_t> excluded;
            bool ok = true;
            if (reader.raw("excluded").empty()) {
                reader.error("column 'excluded' is empty");
                ok = false;
            }
            // Every token is a code; "-" is the empty principal, also when it stands alone.
            for (const auto& token : splitTokens(reader.raw("excluded"))) {
                const auto x = reader.codeToken(token, true, true);
                if (x) excluded.push_back(*x);
                else ok = false;
            }
            if (!id || !ok) return;
            if (*id == 0)
                reader.warning("code '" + shown(reader.raw("diagnosis")) + "' has id 0, so this row is never read");
            auto& list = byCode[keyOf(*id)];
            for (int16_t x : excluded)
                if (!list.count(x) && entries.admit(reader)) list.insert(x);
        });
        if (entries.exceeded()) continue;
        std::vector<std::vector<int16_t>> lists;
        lists.reserve(dxCount);
        for (const auto& list : byCode) lists.emplace_back(list.begin(), list.end());
        const auto laid = layOut(lists);
        table = CcExclusionTable{};
        table.exclusionDiagnosisCount = static_cast<int32_t>(dxCount);
        table.exclusionListCount = static_cast<int32_t>(laid.rows.size());
        table.exclusionBegin = narrowed<int32_t>(laid.begin);
        table.exclusionEnd = narrowed<int32_t>(laid.end);
        table.exclusionList = laid.rows;
    }
}

void compileSplits(CompileContext& c) {
    struct Row {
        Dates dates;
        int16_t profile;
    };
    const size_t drgs = c.tables.refinedCodes.count;
    std::vector<std::vector<Row>> byDrg(drgs);
    std::map<std::string, int16_t> profileNumbers;
    std::vector<char> characters;
    const std::string fileName = sourceFileName(SourceTable::Splits);
    RowLimit rows(kMostRows16, kRows16);
    forEachRow(c, fileName, [&](const RowReader& reader) {
        const auto drg = reader.groupToken(reader.raw("drg"), GroupKind::Drg, false);
        const auto profile = reader.bytes("profile", kSplitProfileWidth);
        const auto dates = readDates(reader);
        if (!drg || !profile || !dates || !rows.admit(reader)) return;
        // At most one new profile per row, so their numbers stay within the row limit.
        auto [it, added] = profileNumbers.try_emplace(*profile, static_cast<int16_t>(profileNumbers.size()));
        if (added) characters.insert(characters.end(), profile->begin(), profile->end());
        byDrg[static_cast<size_t>(*drg)].push_back({*dates, it->second});
    });
    if (rows.exceeded()) return;
    const auto laid = layOut(byDrg);
    auto& t = c.tables.splits;
    t.splitGroupCount = static_cast<uint16_t>(drgs);
    t.splitRowCount = static_cast<uint16_t>(laid.rows.size());
    t.splitProfileCount = static_cast<uint16_t>(profileNumbers.size());
    t.splitRowBegin = narrowed<int16_t>(laid.begin);
    t.splitRowEnd = narrowed<int16_t>(laid.end);
    for (const auto& row : laid.rows) {
        t.splitValidFrom.push_back(row.dates.from);
        t.splitValidTo.push_back(row.dates.to);
        t.splitProfile.push_back(row.profile);
    }
    t.splitCharacters = std::move(characters);
}

}  // namespace drg::source
