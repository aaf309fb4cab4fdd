#include "tables/table_lookups.h"

#include <algorithm>
#include <utility>

namespace drg {
namespace {

RowGuardIndex buildRowGuards(const DecisionTable& table, uint16_t conditionCount) {
    const size_t guards = static_cast<size_t>(conditionCount) + 1;
    std::vector<uint32_t> guardOfRow(table.rowCount);
    RowGuardIndex index;
    index.begin.assign(guards + 1, 0);
    for (size_t row = 0; row < table.rowCount; ++row) {
        const auto* conditions =
            reinterpret_cast<const uint16_t*>(table.rowConditions.data()) + row * kRowConditionColumns;
        uint32_t guard = 0;
        for (int c = 0; c < kMustBeSetColumns && guard == 0; ++c) guard = conditions[c];
        // A value beyond the conditions lies only in rows no range reaches.
        if (guard >= guards) guard = 0;
        guardOfRow[row] = guard;
        ++index.begin[guard + 1];
    }
    for (size_t g = 1; g <= guards; ++g) index.begin[g] += index.begin[g - 1];
    index.rows.resize(table.rowCount);
    std::vector<uint32_t> next(index.begin.begin(), index.begin.end() - 1);
    for (size_t row = 0; row < table.rowCount; ++row)
        index.rows[next[guardOfRow[row]]++] = static_cast<uint16_t>(row);
    return index;
}

RefinedCodeIndex buildRefinedCodes(const CodeTextTable& codes) {
    std::vector<std::pair<uint64_t, uint16_t>> byKey;
    byKey.reserve(codes.count);
    for (uint32_t j = 0; j < codes.count; ++j) byKey.emplace_back(textKey(codes.text.at(j), 5), static_cast<uint16_t>(j));
    std::sort(byKey.begin(), byKey.end());
    RefinedCodeIndex index;
    for (const auto& [key, entry] : byKey) {
        if (!index.keys.empty() && index.keys.back() == key) continue;  // a later duplicate
        index.keys.push_back(key);
        index.entries.push_back(entry);
    }
    return index;
}

}  // namespace

uint64_t textKey(const char* text, int width) {
    uint64_t key = 0;
    bool ended = false;
    for (int i = 0; i < width; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        ended = ended || byte == 0;
        key = (key << 8) | (ended ? 0u : byte);
    }
    return key;
}

int findRefinedCode(const RefinedCodeIndex& index, uint64_t key) {
    const auto it = std::lower_bound(index.keys.begin(), index.keys.end(), key);
    if (it == index.keys.end() || *it != key) return -1;
    return index.entries[static_cast<size_t>(it - index.keys.begin())];
}

TableLookups buildTableLookups(const TableSet& tables) {
    TableLookups lookups;
    for (int v = 0; v < kDecisionVersions; ++v) {
        lookups.decisionRowGuards[v] = buildRowGuards(tables.decisionTables[v], tables.conditions.conditionCount);
        lookups.largestRowCount = std::max(lookups.largestRowCount, tables.decisionTables[v].rowCount);
    }
    lookups.refinedCodes = buildRefinedCodes(tables.drgCodes);
    return lookups;
}

}  // namespace drg
