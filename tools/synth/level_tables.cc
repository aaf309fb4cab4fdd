#include "synth/level_tables.h"

#include <algorithm>

#include "synth/synth_calendar.h"

namespace drg::synth {
namespace {

// Base level of the ten profiles of an MDC, and how often (in thousandths,
// cumulative) a diagnosis takes each: most secondary diagnoses are no
// complication at all.
constexpr int kBaseLevel[kProfilesPerMdc] = {0, 0, 1, 1, 1, 2, 2, 3, 3, 4};
constexpr uint32_t kRankChances[kProfilesPerMdc] = {250, 500, 590, 670, 750, 820, 880, 930, 970, 1000};

int drawRank(SynthRandom& random) {
    const uint32_t draw = random.below(1000);
    int rank = 0;
    while (draw >= kRankChances[rank]) ++rank;
    return rank;
}

int drawShape(SynthRandom& random) {
    const uint32_t draw = random.below(100);
    return draw < 42 ? 0 : draw < 82 ? 1 : 2;
}

int clampLevel(int level) { return std::clamp(level, 0, 4); }

// Level of profile p in ADRG a, before the changes of later versions.
std::vector<uint8_t> profileMatrix(const GroupPlan& plan, SynthRandom& random) {
    const size_t columns = plan.adrgs.size();
    std::vector<uint8_t> matrix(kLevelProfiles * columns, '0');
    for (int p = 0; p < kLevelProfiles; ++p) {
        const int ownMdc = kFirstBodyMdc + p / kProfilesPerMdc;
        for (size_t a = 1; a < columns; ++a) {
            int level = kBaseLevel[p % kProfilesPerMdc];
            if (plan.adrgs[a].mdc == ownMdc) level -= 2;
            if (plan.adrgs[a].mdc == kPreMdc) ++level;
            if (random.perMille(125)) level += random.perMille(500) ? 1 : -1;
            matrix[static_cast<size_t>(p) * columns + a] = static_cast<uint8_t>('0' + clampLevel(level));
        }
    }
    return matrix;
}

struct LevelRow {
    int32_t from, to;
    int rank;
};

// The rows of one diagnosis: one profile for good, or a change on a date,
// or two changes.
std::vector<LevelRow> levelRows(int shape, int rank, int changeDay, SynthRandom& random) {
    const int earlier = std::clamp(rank + (random.perMille(500) ? 1 : -1), 0, kProfilesPerMdc - 1);
    if (shape == 0) return {{kAlways, kForever, rank}};
    if (shape == 1) return {{kAlways, dayBefore(changeDay), earlier}, {changeDay, kForever, rank}};
    const int first = std::clamp(earlier + (random.perMille(500) ? 1 : -1), 0, kProfilesPerMdc - 1);
    return {{kAlways, 20081231, first}, {20090101, 20101231, earlier}, {20110101, kForever, rank}};
}

// Codes of whole categories in blocks of at least `size` codes, in text
// order: block[i] is the block of diagnosis position i.
std::vector<uint32_t> blocksOf(const CodeCatalog& catalog, uint32_t size, std::vector<uint32_t>& blockStart) {
    std::vector<uint32_t> block(catalog.diagnoses.size());
    blockStart = {0};
    for (const Category& cat : catalog.categories) {
        if (cat.firstCode - blockStart.back() >= size) blockStart.push_back(cat.firstCode);
        for (uint32_t i = cat.firstCode; i < cat.firstCode + cat.codeCount; ++i)
            block[i] = static_cast<uint32_t>(blockStart.size() - 1);
    }
    blockStart.push_back(static_cast<uint32_t>(catalog.diagnoses.size()));
    return block;
}

}  // namespace

void fillLevelTables(const CodeCatalog& catalog, const GroupPlan& plan, SynthRandom& random, TableSet& tables) {
    const size_t codes = catalog.diagnoses.size();
    // Per code: its rank among the ten profiles of its MDC (-1 for no rows)
    // and the shape of its rows.
    std::vector<int> rank(codes), shape(codes), changeDay(codes);
    constexpr int kChangeDays[] = {20070101, 20100101, 20110701, 20130101};
    for (size_t i = 0; i < codes; ++i) {
        rank[i] = random.perMille(100) ? -1 : drawRank(random);
        shape[i] = drawShape(random);
        changeDay[i] = kChangeDays[random.below(4)];
    }
    std::vector<uint32_t> positionOfId(codes + 1);
    for (size_t i = 0; i < codes; ++i)
        positionOfId[static_cast<size_t>(catalog.diagnoses[i].id)] = static_cast<uint32_t>(i);

    const std::vector<uint8_t> base = profileMatrix(plan, random);
    const size_t columns = plan.adrgs.size();
    for (int v = 0; v < kLevelVersions; ++v) {
        ComplicationLevelTable& t = tables.levelTables[static_cast<size_t>(v)];
        t.cclDiagnosisCount = static_cast<uint16_t>(codes + 1);
        t.cclProfileCount = kLevelProfiles;
        t.cclColumnCount = static_cast<uint16_t>(columns);
        t.cclMatrix = base;
        for (size_t cell = 0; cell < t.cclMatrix.size(); ++cell)
            if (v > 0 && cell % columns != 0 && random.perMille(30))
                t.cclMatrix[cell] =
                    static_cast<uint8_t>('0' + clampLevel(t.cclMatrix[cell] - '0' + (random.perMille(500) ? 1 : -1)));
        t.cclRowBegin.assign(codes + 1, 0);
        t.cclRowEnd.assign(codes + 1, 0);
        for (size_t id = 1; id <= codes; ++id) {
            const size_t i = positionOfId[id];
            t.cclRowBegin[id] = static_cast<int16_t>(t.cclProfile.size());
            if (rank[i] >= 0) {
                // Later versions move some codes to a neighbouring profile.
                int r = rank[i];
                if (v > 0 && random.perMille(80))
                    r = std::clamp(r + (random.perMille(500) ? 1 : -1), 0, kProfilesPerMdc - 1);
                if (v > 0 && random.perMille(30)) shape[i] = drawShape(random);
                const int mdc = catalog.categories[catalog.diagnoses[i].category].mdc;
                for (const LevelRow& row : levelRows(shape[i], r, changeDay[i], random)) {
                    t.cclValidFrom.push_back(row.from);
                    t.cclValidTo.push_back(row.to);
                    t.cclProfile.push_back(static_cast<int16_t>((mdc - kFirstBodyMdc) * kProfilesPerMdc + row.rank));
                }
            }
            t.cclRowEnd[id] = static_cast<int16_t>(t.cclProfile.size());
        }
        t.cclRowCount = static_cast<uint16_t>(t.cclProfile.size());
    }
}

void fillExclusionTables(const CodeCatalog& catalog, const TableSet& levels, TableSet& tables) {
    const size_t codes = catalog.diagnoses.size();
    // A code with level rows in the last version gets a list in every version.
    const ComplicationLevelTable& latest = levels.levelTables[kLevelVersions - 1];
    std::vector<uint8_t> hasLevel(codes);
    for (size_t i = 0; i < codes; ++i) {
        const size_t id = static_cast<size_t>(catalog.diagnoses[i].id);
        hasLevel[i] = latest.cclRowBegin[id] < latest.cclRowEnd[id];
    }
    for (int v = 0; v < kExclusionVersions; ++v) {
        const int64_t target = kExclusionTargets[v];
        // The first version lists the nearest codes of the same category; the
        // later ones whole blocks of categories, as large as the target allows.
        std::vector<uint32_t> blockStart, block;
        uint32_t window = 2;
        if (v == 0) {
            auto total = [&](uint32_t w) {
                int64_t sum = 0;
                for (const Category& cat : catalog.categories)
                    for (uint32_t i = cat.firstCode; i < cat.firstCode + cat.codeCount; ++i)
                        if (hasLevel[i])
                            sum += std::min<int64_t>(cat.codeCount,
                                                     std::min(i - cat.firstCode, w) + 1 +
                                                         std::min(cat.firstCode + cat.codeCount - 1 - i, w));
                return sum;
            };
            while (window > 0 && total(window) > target) --window;
        } else {
            uint32_t best = 1;
            for (uint32_t size = 1; size <= 400; ++size) {
                std::vector<uint32_t> starts;
                const std::vector<uint32_t> b = blocksOf(catalog, size, starts);
                int64_t sum = 0;
                for (size_t i = 0; i < codes; ++i)
                    if (hasLevel[i]) sum += starts[b[i] + 1] - starts[b[i]];
                if (sum > target) break;
                best = size;
            }
            block = blocksOf(catalog, best, blockStart);
        }
        CcExclusionTable& t = tables.exclusionTables[static_cast<size_t>(v)];
        t.exclusionDiagnosisCount = static_cast<int32_t>(codes + 1);
        t.exclusionBegin.assign(codes + 1, 0);
        t.exclusionEnd.assign(codes + 1, 0);
        std::vector<uint32_t> positionOfId(codes + 1);
        for (size_t i = 0; i < codes; ++i)
            positionOfId[static_cast<size_t>(catalog.diagnoses[i].id)] = static_cast<uint32_t>(i);
        std::vector<int16_t> list;
        for (size_t id = 1; id <= codes; ++id) {
            const uint32_t i = positionOfId[id];
            t.exclusionBegin[id] = static_cast<int32_t>(t.exclusionList.size());
            if (hasLevel[i]) {
                uint32_t first, last;
                if (v == 0) {
                    const Category& cat = catalog.categories[catalog.diagnoses[i].category];
                    first = std::max(cat.firstCode, i >= window ? i - window : 0);
                    last = std::min(cat.firstCode + cat.codeCount, i + window + 1);
                } else {
                    first = blockStart[block[i]];
                    last = blockStart[block[i] + 1];
                }
                list.clear();
                for (uint32_t k = first; k < last; ++k) list.push_back(catalog.diagnoses[k].id);
                std::sort(list.begin(), list.end());
                t.exclusionList.insert(t.exclusionList.end(), list.begin(), list.end());
            }
            t.exclusionEnd[id] = static_cast<int32_t>(t.exclusionList.size());
        }
        t.exclusionListCount = static_cast<int32_t>(t.exclusionList.size());
    }
}

}  // namespace drg::synth
