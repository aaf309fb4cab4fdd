// Compiling the row tables: every table whose rows hang off a key (a code
// id, an MDC, an ADRG or a refined code) through begin and end arrays.
#include <algorithm>
#include <limits>

#include "tablesource/compile_steps.h"

namespace drg::source {
namespace {

constexpr size_t kMostRows16 = 32767;  // rows reached through int16 begin/end values
// Rows and code entries hold condition numbers as int16.
constexpr int kHighestStoredCondition = 32767;

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

bool tooManyRows(CompileContext& c, const std::string& fileName, size_t rows, size_t limit) {
    if (rows <= limit) return false;
    c.diagnostics.error(fileName, 0,
                        "holds " + std::to_string(rows) + " rows, more than the " + std::to_string(limit) +
                            " that the table can reach");
    return true;
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

size_t keyOf(int16_t id) { return static_cast<size_t>(id); }

bool presentInSource(const CompileContext& c, const std::string& fileName) {
    return c.source.find(fileName) != c.source.end();
}

}  // namespace

void compileDaggerAsterisk(CompileContext& c) {
    struct Pair {
        Dates dates;
        int16_t partner;
    };
    const uint16_t dxCount = c.tables.diagnosisIndex.count;
    std::vector<std::vector<Pair>> byPrincipal(dxCount);
    forEachRow(c, sourceFileName(SourceTable::DaggerAsterisk), [&](const RowReader& row) {
        const auto principal = row.codeToken(row.raw("principal"), true, true);
        const auto partner = row.codeToken(row.raw("partner"), true, false);
        const auto dates = readDates(row);
        if (principal && partner && dates) byPrincipal[keyOf(*principal)].push_back({*dates, *partner});
    });
    const auto laid = layOut(byPrincipal);
    if (tooManyRows(c, sourceFileName(SourceTable::DaggerAsterisk), laid.rows.size(), 65535)) return;
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
    auto read = [&](SourceTable table, bool diagnosis, size_t keys) {
        std::vector<std::vector<Entry>> byCode(keys);
        forEachRow(c, sourceFileName(table), [&](const RowReader& row) {
            const auto id = row.codeToken(row.raw("code"), diagnosis, false);
            const auto condition = row.conditionToken(row.raw("condition"), std::min(c.conditionCount - 1, kHighestStoredCondition));
            const auto tag = row.byte("tag", kDefaultTag);
            const auto dates = readDates(row);
            if (!id || !condition || !tag || !dates) return;
            if (*id == 0) row.warning("code '" + row.raw("code") + "' has id 0, so this row is never read");
            byCode[keyOf(*id)].push_back({*tag, *dates, static_cast<int16_t>(*condition)});
        });
        return layOut(byCode);
    };
    auto& t = c.tables.codeConditions;
    t.diagnosisCount = c.tables.diagnosisIndex.count;
    t.procedureCount = c.tables.procedureIndex.count;
    const auto diagnoses = read(SourceTable::DiagnosisConditions, true, t.diagnosisCount);
    const auto procedures = read(SourceTable::ProcedureConditions, false, t.procedureCount);
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
            if (!range || !mdc || !adrg || !dates || !ok) return;
            row.dates = *dates;
            row.mdc = static_cast<int16_t>(*mdc);
            row.adrg = static_cast<int16_t>(*adrg);
            byRange[static_cast<size_t>(*range)].push_back(row);
        });
        const auto laid = layOut(byRange);
        if (tooManyRows(c, fileName, laid.rows.size(), kMostRows16)) continue;
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
    forEachRow(c, fileName, [&](const RowReader& reader) {
        const auto adrg = reader.groupToken(reader.raw("adrg"), GroupKind::Adrg, false);
        const auto minAge = reader.integer("min_age", INT16_MIN, INT16_MAX);
        const auto maxAge = reader.integer("max_age", INT16_MIN, INT16_MAX);
        const auto suffix = reader.text("suffix") ? reader.byte("suffix", ' ') : std::nullopt;
        const auto dates = readDates(reader);
        if (!adrg || !minAge || !maxAge || !suffix || !dates) return;
        byAdrg[static_cast<size_t>(*adrg)].push_back(
            {static_cast<int16_t>(*minAge), static_cast<int16_t>(*maxAge), *dates, *suffix});
    });
    const auto laid = layOut(byAdrg);
    if (tooManyRows(c, fileName, laid.rows.size(), kMostRows16)) return;
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
        std::map<std::vector<uint8_t>, int16_t> profileNumbers;
        std::vector<uint8_t> matrix;
        forEachRow(c, fileName, [&](const RowReader& reader) {
            const auto id = reader.codeToken(reader.raw("diagnosis"), true, false);
            const auto fallback = reader.text("default") ? reader.byte("default", '0') : std::nullopt;
            const auto dates = readDates(reader);
            if (!fallback) return;
            std::vector<uint8_t> profile(columns, static_cast<uint8_t>(*fallback));
            std::vector<bool> given(columns, false);
            bool ok = true;
            if (reader.raw("levels").empty()) {
                reader.error("column 'levels' is empty (write '-' when every ADRG has the default level)");
                ok = false;
            }
            for (const auto& token : splitList(reader.raw("levels"))) {
                const size_t equals = token.rfind('=');
                if (equals == std::string::npos) {
                    reader.error("level '" + token + "' is not written ADRG=level");
                    ok = false;
                    continue;
                }
                const auto adrg = reader.groupToken(token.substr(0, equals), GroupKind::Adrg, false);
                const auto level = reader.byteToken(token.substr(equals + 1));
                if (!level) reader.error("level '" + token + "' does not end in one character");
                if (!adrg || !level) {
                    ok = false;
                    continue;
                }
                if (given[static_cast<size_t>(*adrg)]) {
                    reader.error("ADRG '" + token.substr(0, equals) + "' has two levels in this row");
                    ok = false;
                }
                given[static_cast<size_t>(*adrg)] = true;
                profile[static_cast<size_t>(*adrg)] = static_cast<uint8_t>(*level);
            }
            if (!id || !dates || !ok) return;
            if (*id == 0) reader.warning("code '" + reader.raw("diagnosis") + "' has id 0, so this row is never read");
            auto [it, added] = profileNumbers.try_emplace(profile, static_cast<int16_t>(profileNumbers.size()));
            if (added) matrix.insert(matrix.end(), profile.begin(), profile.end());
            byCode[keyOf(*id)].push_back({*dates, it->second});
        });
        const auto laid = layOut(byCode);
        if (tooManyRows(c, fileName, laid.rows.size(), kMostRows16)) continue;
        table = ComplicationLevelTable{};
        table.cclDiagnosisCount = static_cast<uint16_t>(dxCount);
        table.cclRowCount = static_cast<uint16_t>(laid.rows.size());
        table.cclProfileCount = static_cast<uint16_t>(profileNumbers.size());
        table.cclColumnCount = static_cast<uint16_t>(columns);
        table.cclRowBegin = narrowed<int16_t>(laid.begin);
        table.cclRowEnd = narrowed<int16_t>(laid.end);
        for (const auto& row : laid.rows) {
            table.cclValidFrom.push_back(row.dates.from);
            table.cclValidTo.push_back(row.dates.to);
            table.cclProfile.push_back(row.profile);
        }
        table.cclMatrix = std::move(matrix);
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
        std::vector<std::vector<int16_t>> byCode(dxCount);
        forEachRow(c, fileName, [&](const RowReader& reader) {
            const auto id = reader.codeToken(reader.raw("diagnosis"), true, false);
            std::vector<int16_t> excluded;
            bool ok = true;
            if (reader.raw("excluded").empty()) {
                reader.error("column 'excluded' is empty");
                ok = false;
            }
            for (const auto& token : splitList(reader.raw("excluded"))) {
                const auto x = reader.codeToken(token, true, true);
                if (x) excluded.push_back(*x);
                else ok = false;
            }
            if (!id || !ok) return;
            if (*id == 0) reader.warning("code '" + reader.raw("diagnosis") + "' has id 0, so this row is never read");
            auto& list = byCode[keyOf(*id)];
            list.insert(list.end(), excluded.begin(), excluded.end());
        });
        // The membership test relies on ascending lists.
        for (auto& list : byCode) {
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end()), list.end());
        }
        const auto laid = layOut(byCode);
        if (tooManyRows(c, fileName, laid.rows.size(), v == 0 ? 65535 : std::numeric_limits<int32_t>::max())) continue;
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
    forEachRow(c, fileName, [&](const RowReader& reader) {
        const auto drg = reader.groupToken(reader.raw("drg"), GroupKind::Drg, false);
        const auto profile = reader.bytes("profile", kSplitProfileWidth);
        const auto dates = readDates(reader);
        if (!drg || !profile || !dates) return;
        auto [it, added] = profileNumbers.try_emplace(*profile, static_cast<int16_t>(profileNumbers.size()));
        if (added) characters.insert(characters.end(), profile->begin(), profile->end());
        byDrg[static_cast<size_t>(*drg)].push_back({*dates, it->second});
    });
    const auto laid = layOut(byDrg);
    if (tooManyRows(c, fileName, laid.rows.size(), kMostRows16)) return;
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
