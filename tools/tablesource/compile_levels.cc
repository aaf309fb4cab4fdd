// Compiling the tables of the complexity steps: complication levels, CC
// exclusions and split profiles.
#include <algorithm>
#include <set>
#include <unordered_map>

#include "tablesource/compile_row_helpers.h"

namespace drg::source {
namespace {

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

// The grouper reads a level as its character code minus '0'; only 0 to 4 mean anything.
bool validLevel(char level) { return level >= '0' && level <= '4'; }

// Reads the `levels` list of a row; nullopt after reporting a problem.
std::optional<LevelProfile> readLevelProfile(const RowReader& reader, char fallback) {
    LevelProfile profile{fallback, {}};
    bool ok = true;
    if (reader.raw("levels").empty()) {
        reader.error("levels", "empty field (write '-' when every ADRG has the default level)");
        ok = false;
    }
    std::vector<std::pair<int, std::string>> named;  // ADRG entry, as written
    for (const auto& token : splitList(reader.raw("levels"))) {
        const size_t equals = token.rfind('=');
        if (equals == std::string::npos) {
            reader.error("levels", "'" + shown(token) + "' is not written ADRG=level");
            ok = false;
            continue;
        }
        const auto adrg = reader.groupToken("levels", token.substr(0, equals), GroupKind::Adrg, false);
        const auto level = reader.byteToken(token.substr(equals + 1));
        if (!level) reader.error("levels", "'" + shown(token) + "' does not end in one character");
        else if (!validLevel(*level))
            reader.invalid("levels", "level '" + shown(token) + "' is not a level from 0 to 4");
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
            reader.error("levels", "ADRG '" + shown(named[i].second) + "' has two levels in this row");
            ok = false;
        }
    if (!ok) return std::nullopt;
    std::erase_if(profile.exceptions, [&](const auto& e) { return e.second == fallback; });
    return profile;
}

// A row of a table where the first row in force on the record's date wins.
struct DatedRow {
    Dates dates;
    int16_t profile;
    int line;
};

// Rows of one key that an earlier row of the key, in force whenever they
// are, keeps from ever being read.
void reportHiddenDatedRows(CompileContext& c, const std::string& fileName, const std::string& column,
                           const std::vector<std::vector<DatedRow>>& byKey, const std::vector<std::string>& keyTexts) {
    HiddenRows hidden(c, fileName, column, "dates");
    for (size_t k = 0; k < byKey.size(); ++k) {
        const auto& rows = byKey[k];
        hidden.check(linesOf(rows), keyTexts[k], [&](size_t i, size_t j) {
            return !rows[i].dates.empty() && rows[i].dates.covers(rows[j].dates);
        });
    }
}

}  // namespace

void compileLevelTables(CompileContext& c) {
    const size_t dxCount = c.tables.diagnosisIndex.count;
    const size_t columns = c.tables.adrgCodes.count;
    compileEachVersion(c, SourceTable::Levels, c.tables.levelTables, [&](ComplicationLevelTable& table, int version) {
        std::vector<std::vector<DatedRow>> byCode(dxCount);
        std::vector<std::string> codeTexts(dxCount);
        std::unordered_map<std::string, int16_t> profileNumbers;
        std::vector<LevelProfile> profiles;  // by number
        RowLimit rows(kMostRows16, kRows16);
        forEachRow(c, SourceTable::Levels, version, [&](const RowReader& reader) {
            const auto id = reader.codeToken("diagnosis", reader.raw("diagnosis"), true, false);
            const auto dates = readDates(reader);
            if (!reader.text("default")) return;
            const auto fallback = reader.byte("default", '0');
            if (!fallback) return;
            if (!validLevel(*fallback))
                reader.invalid("default", "'" + shown(reader.raw("default")) + "' is not a level from 0 to 4");
            const auto profile = readLevelProfile(reader, *fallback);
            if (!id || !dates || !profile || !rows.admit(reader)) return;
            if (*id == 0)
                reader.warning("diagnosis",
                               "'" + shown(reader.raw("diagnosis")) + "' has id 0, so this row is never read");
            // At most one new profile per row, so their numbers stay within the row limit.
            auto [it, added] = profileNumbers.try_emplace(profile->key(), static_cast<int16_t>(profiles.size()));
            if (added) profiles.push_back(*profile);
            byCode[keyOf(*id)].push_back({*dates, it->second, reader.line()});
            if (codeTexts[keyOf(*id)].empty()) codeTexts[keyOf(*id)] = reader.raw("diagnosis");
    });
    if (rows.exceeded()) return;
    const std::string& fileName = c.fileName(SourceTable::Levels, version);
    reportHiddenDatedRows(c, fileName, "diagnosis", byCode, codeTexts);
    // The matrix holds one row of every distinct profile across all ADRGs.
    const uint64_t matrixBytes = static_cast<uint64_t>(profiles.size()) * columns;
    if (matrixBytes > c.options.mostFileBytes) {
        c.diagnostics.error(fileName, 0,
                            "the complication level matrix would take " + mebibytes(matrixBytes) + " (" +
                                std::to_string(profiles.size()) + " distinct level profiles x " +
                                std::to_string(columns) + " ADRG columns), more than the " +
                                mebibytes(c.options.mostFileBytes) + " allowed without --allow-large");
        return;
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
    });
}

void compileExclusionTables(CompileContext& c) {
    const size_t dxCount = c.tables.diagnosisIndex.count;
    compileEachVersion(c, SourceTable::Exclusions, c.tables.exclusionTables, [&](CcExclusionTable& table, int version) {
        // Ascending and without repeats, as the membership test needs.
        std::vector<std::set<int16_t>> byCode(dxCount);
        // The first version counts its list in a 16-bit field, the later ones in 32 bits.
        RowLimit entries(version == 0 ? kMostCount16 : kMostCount32,
                         version == 0 ? "list entries (this version counts them in a 16-bit number)"
                                : "list entries (the count is a 32-bit number)");
        forEachRow(c, SourceTable::Exclusions, version, [&](const RowReader& reader) {
            const auto id = reader.codeToken("diagnosis", reader.raw("diagnosis"), true, false);
            std::vector<int16_t> excluded;
            bool ok = true;
            if (reader.raw("excluded").empty()) {
                reader.error("excluded", "empty field");
                ok = false;
            }
            // Every token is a code; "-" is the empty principal, also when it stands alone.
            for (const auto& token : splitTokens(reader.raw("excluded"))) {
                const auto x = reader.codeToken("excluded", token, true, true);
                if (x) excluded.push_back(*x);
                else ok = false;
            }
            if (!id || !ok) return;
            if (*id == 0)
                reader.warning("diagnosis",
                               "'" + shown(reader.raw("diagnosis")) + "' has id 0, so this row is never read");
            auto& list = byCode[keyOf(*id)];
            for (int16_t x : excluded)
                if (!list.count(x) && entries.admit(reader)) list.insert(x);
    });
    if (entries.exceeded()) return;
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
    });
}

void compileSplits(CompileContext& c) {
    const size_t refinedCount = c.tables.refinedCodes.count;
    std::vector<std::vector<DatedRow>> byCode(refinedCount);
    std::vector<std::string> codeTexts(refinedCount);
    std::map<std::string, int16_t> profileNumbers;
    std::vector<char> characters;
    RowLimit rows(kMostRows16, kRows16);
    forEachRow(c, SourceTable::Splits, [&](const RowReader& reader) {
        const auto code = reader.groupToken("refined", reader.raw("refined"), GroupKind::Refined, false);
        const auto profile = reader.bytes("profile", kSplitProfileWidth);
        const auto dates = readDates(reader);
        if (!code || !profile || !dates || !rows.admit(reader)) return;
        // At most one new profile per row, so their numbers stay within the row limit.
        auto [it, added] = profileNumbers.try_emplace(*profile, static_cast<int16_t>(profileNumbers.size()));
        if (added) characters.insert(characters.end(), profile->begin(), profile->end());
        byCode[static_cast<size_t>(*code)].push_back({*dates, it->second, reader.line()});
        if (codeTexts[static_cast<size_t>(*code)].empty()) codeTexts[static_cast<size_t>(*code)] = reader.raw("refined");
    });
    if (rows.exceeded()) return;
    reportHiddenDatedRows(c, c.fileName(SourceTable::Splits), "refined", byCode, codeTexts);
    // Without a split row in force the DRG ends in '0', which reads like a
    // real split character. Before the first decision row no record is grouped.
    const auto& lines = c.groupLines[GroupKind::Refined];
    const auto& texts = c.groupTexts[GroupKind::Refined];
    // Rows that could not be read would show as periods without a row.
    const bool grouped = c.firstDecisionDay.has_value() && !c.diagnostics.hasErrors();
    for (size_t k = 1; grouped && !c.unusable.count(SourceTable::Splits) && k < lines.size(); ++k) {
        std::vector<Dates> spans;
        for (const auto& row : byCode[k]) spans.push_back(row.dates);
        const auto gaps = uncoveredPeriods(spans, *c.firstDecisionDay);
        if (gaps.empty()) continue;
        const std::string code = entryText(texts[k]);
        c.diagnostics.warning(c.fileName(SourceTable::Refined), lines[k], "code",
                              spans.empty() ? "refined code '" + code + "' has no split row, so its DRG always ends in '0'"
                                            : "refined code '" + code + "' has no split row in force " +
                                                  periodText(gaps[0].from, gaps[0].to) +
                                                  (gaps.size() > 1 ? " (and " + std::to_string(gaps.size() - 1) +
                                                                         " more periods)"
                                                                   : "") +
                                                  ", when its DRG ends in '0'");
    }
    const auto laid = layOut(byCode);
    auto& t = c.tables.splits;
    t.splitGroupCount = static_cast<uint16_t>(refinedCount);
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
