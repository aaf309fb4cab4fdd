#include "tables/table_lookups.h"

#include "tables/code_lookup.h"
#include "tables/condition_kinds.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

namespace drg {
namespace {

// How often a condition is likely raised: the number of code-condition
// entries that name it; the derived conditions, raised by rules that hold for
// many records, count as raised by every entry.
std::vector<uint32_t> conditionWeights(const TableSet& tables) {
    const uint16_t n = tables.conditions.conditionCount;
    const CodeConditionTable& code = tables.codeConditions;
    std::vector<uint32_t> weight(static_cast<size_t>(n) + 1, 0);
    for (int16_t c : code.entryCondition)
        if (c > 0 && c < n) ++weight[static_cast<size_t>(c)];
    for (int c : kDerivedConditions)
        if (c < n) weight[static_cast<size_t>(c)] = static_cast<uint32_t>(code.entryCondition.size()) + 1;
    return weight;
}

RowGuardIndex buildRowGuards(const DecisionTable& table, const std::vector<uint32_t>& weight) {
    const size_t guards = weight.size();  // conditions 0..N
    std::vector<uint32_t> guardOfRow(table.rowCount);
    RowGuardIndex index;
    index.lists.assign(guards + 1, {0, 0xFFFF, 0});
    index.guarding.assign(guards / 64 + 1, 0);
    std::vector<uint64_t> needs(table.rowCount, 0);
    index.packedRows.resize(table.rowCount);
    for (size_t row = 0; row < table.rowCount; ++row) {
        RowGuardIndex::PackedRow& packed = index.packedRows[row];
        packed = {table.rowValidFrom[row], table.rowValidTo[row], static_cast<uint32_t>(index.terms.size()), 0, 0,
                  static_cast<uint16_t>(row)};
        const auto* conditions =
            reinterpret_cast<const uint16_t*>(table.rowConditions.data()) + row * kRowConditionColumns;
        // Condition 0 always holds and condition N never does: places holding
        // them where they pass test nothing.
        for (int c = 0; c < kMustBeSetColumns; ++c)
            if (conditions[c] != 0) {
                index.terms.push_back(conditions[c]);
                ++packed.setTerms;
            }
        for (int c = kMustBeSetColumns; c < kRowConditionColumns; ++c)
            if (conditions[c] != guards - 1) index.terms.push_back(conditions[c]);
        packed.termCount = static_cast<uint8_t>(index.terms.size() - packed.termBegin);
        // Any must-be-set condition would do; the least raised one leaves the
        // fewest rows to test.
        uint32_t guard = 0;
        for (int c = 0; c < kMustBeSetColumns; ++c) {
            const uint16_t condition = conditions[c];
            if (condition == 0) continue;  // an empty place: condition 0 always holds
            needs[row] |= conditionBit(condition);
            // A value beyond the conditions lies only in rows no range reaches.
            if (condition < guards && guard == 0) guard = condition;
        }
        guardOfRow[row] = guard;
        ++index.lists[guard + 1].begin;
        if (guard != 0) index.guarding[guard >> 6] |= uint64_t{1} << (guard & 63u);
    }
    index.nextUnguarded.assign(static_cast<size_t>(table.rowCount) + 1, table.rowCount);
    for (size_t row = table.rowCount; row-- > 0;)
        index.nextUnguarded[row] = guardOfRow[row] == 0 ? static_cast<uint16_t>(row) : index.nextUnguarded[row + 1];
    for (size_t g = 1; g <= guards; ++g) index.lists[g].begin += index.lists[g - 1].begin;
    index.listed.resize(table.rowCount);
    std::vector<uint32_t> next(guards);
    for (size_t g = 0; g < guards; ++g) next[g] = index.lists[g].begin;
    for (size_t row = 0; row < table.rowCount; ++row) {
        const RowGuardIndex::PackedRow& packed = index.packedRows[row];
        RowGuardIndex::GuardedRow& listed = index.listed[next[guardOfRow[row]]++];
        listed = {needs[row], packed, {}};
        RowGuardIndex::GuardList& list = index.lists[guardOfRow[row]];
        list.firstRow = std::min(list.firstRow, packed.row);
        list.lastRow = packed.row;  // rows come in ascending order
        if (packed.termCount <= RowGuardIndex::kInlineTerms)
            std::copy_n(index.terms.data() + packed.termBegin, packed.termCount, listed.inlineTerms);
    }
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

// The entry range of code `id`; empty for an id the ranges do not have.
CodeEntryRange entryRangeOf(const std::vector<CodeEntryRange>& ranges, int16_t id) {
    return id > 0 && static_cast<size_t>(id) < ranges.size() ? ranges[static_cast<size_t>(id)] : CodeEntryRange{0, 0};
}

size_t hashPlace(uint64_t key, unsigned shift) { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift); }

CodeHashIndex buildCodeHash(const TextArray& codes, const std::vector<int16_t>& ids, uint32_t count, int width,
                            const std::vector<CodeEntryRange>& entryRanges) {
    CodeHashIndex index;
    index.width = width;
    // Keys of at most six bytes leave 16 bits for the id; a code of only NUL
    // bytes has key 0, the empty mark. Either way the binary search serves.
    if (width > 6) return index;
    for (uint32_t i = 2; i < count; ++i)
        if (boundedCompare(codes.at(i - 1), codes.at(i), width) >= 0) return index;
    unsigned bits = 4;
    while ((size_t{1} << bits) < 2 * static_cast<size_t>(count)) ++bits;
    index.shift = 64 - bits;
    index.places.assign(size_t{1} << bits, {0, {0, 0}});
    const size_t mask = (size_t{1} << bits) - 1;
    for (uint32_t i = 1; i < count; ++i) {
        const uint64_t key = textKey(codes.at(i), width);
        if (key == 0) return CodeHashIndex{};
        size_t place = hashPlace(key, index.shift);
        while (index.places[place].keyAndId != 0) place = (place + 1) & mask;
        index.places[place] = {key << 16 | static_cast<uint16_t>(ids[i]), entryRangeOf(entryRanges, ids[i])};
    }
    index.usable = true;
    return index;
}

// The text key of a slot: its bytes as a big-endian number, or, when it holds
// a NUL, with the bytes after the NUL taken as NUL.
template <int Width>
uint64_t slotKey(const char* text) {
    const uint64_t value = littleEndianText<Width>(text);
    // Any NUL among the Width bytes? (The bytes above them are set so they never count.)
    const uint64_t lanes = value | (~uint64_t{0} << (8 * Width));
    if (((lanes - 0x0101010101010101ull) & ~lanes & 0x8080808080808080ull) != 0) return textKey(text, Width);
    return bigEndianOf<Width>(value);
}

// The place holding `key`, or the empty place that ends its probe (id 0,
// no entries).
const CodeHashIndex::Place& findKey(const CodeHashIndex& index, uint64_t key) {
    const size_t mask = index.places.size() - 1;
    for (size_t place = hashPlace(key, index.shift);; place = (place + 1) & mask) {
        const CodeHashIndex::Place& entry = index.places[place];
        if (entry.keyAndId >> 16 == key || entry.keyAndId == 0) return entry;
    }
}

int16_t placeId(const CodeHashIndex::Place& place) { return static_cast<int16_t>(place.keyAndId & 0xFFFF); }

}  // namespace

int16_t lookupSlotCode(const TableLookups& lookups, const TableSet& tables, const char* slotText, int slot) {
    if (slot <= kDiagnosisSlots) {
        if (lookups.diagnosisCodes.usable)
            return placeId(findKey(lookups.diagnosisCodes, slotKey<kDiagnosisCodeWidth>(slotText)));
    } else if (lookups.procedureCodes.usable) {
        return placeId(findKey(lookups.procedureCodes, slotKey<kProcedureCodeWidth>(slotText)));
    }
    return lookupCode(tables, slotText, slot);
}

CodeEntryRange codeEntryRange(const TableLookups& lookups, int slot, int16_t id) {
    return entryRangeOf(slot <= kDiagnosisSlots ? lookups.diagnosisEntryRanges : lookups.procedureEntryRanges, id);
}

void startSlotLookups(const TableLookups& lookups, const char* record, const uint8_t* slots, int count,
                      uint64_t* keys) {
    for (int n = 0; n < count; ++n) {
        const int s = slots[n];
        const char* text = record + codeSlotField(s).offset;
        const bool diagnosis = s <= kDiagnosisSlots;
        const CodeHashIndex& index = diagnosis ? lookups.diagnosisCodes : lookups.procedureCodes;
        if (!index.usable) continue;
        keys[n] = diagnosis ? slotKey<kDiagnosisCodeWidth>(text) : slotKey<kProcedureCodeWidth>(text);
        __builtin_prefetch(index.places.data() + hashPlace(keys[n], index.shift));
    }
}

void finishSlotLookups(const TableLookups& lookups, const TableSet& tables, const char* record, const uint8_t* slots,
                       int count, const uint64_t* keys, int16_t* ids, CodeEntryRange* entryRanges) {
    for (int n = 0; n < count; ++n) {
        const int s = slots[n];
        const CodeHashIndex& index = s <= kDiagnosisSlots ? lookups.diagnosisCodes : lookups.procedureCodes;
        if (index.usable) {
            const CodeHashIndex::Place& place = findKey(index, keys[n]);
            ids[n] = placeId(place);
            entryRanges[n] = place.entries;
        } else {
            ids[n] = lookupCode(tables, record + codeSlotField(s).offset, s);
            entryRanges[n] = codeEntryRange(lookups, s, ids[n]);
        }
        // Only a range that holds entries is sure to lie within them.
        if (entryRanges[n].begin < entryRanges[n].end)
            __builtin_prefetch(lookups.codeEntries.data() + entryRanges[n].begin);
    }
}

void lookupSlotCodes(const TableLookups& lookups, const TableSet& tables, const char* record, const uint8_t* slots,
                     int count, int16_t* ids, CodeEntryRange* entryRanges) {
    std::array<uint64_t, kSlotCount> keys;
    startSlotLookups(lookups, record, slots, count, keys.data());
    finishSlotLookups(lookups, tables, record, slots, count, keys.data(), ids, entryRanges);
}

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

uint64_t refinedCodeKey(const TableSet& tables, uint32_t adrg, char suffix) {
    char key[6] = {};
    const char* text = tables.adrgCodes.text.at(adrg);
    for (int k = 0; k < 4 && text[k] != '\0'; ++k) key[k] = text[k];
    key[4] = suffix;
    return textKey(key, 5);
}

int findRefinedCode(const RefinedCodeIndex& index, uint64_t key) {
    const auto it = std::lower_bound(index.keys.begin(), index.keys.end(), key);
    if (it == index.keys.end() || *it != key) return -1;
    return index.entries[static_cast<size_t>(it - index.keys.begin())];
}

namespace {

std::vector<PackedCodeEntry> packCodeEntries(const TableSet& tables) {
    const CodeConditionTable& code = tables.codeConditions;
    const ConditionTable& kinds = tables.conditions;
    const size_t entries =
        std::min({code.entryCondition.size(), code.entryValidFrom.size(), code.entryValidTo.size()});
    std::vector<PackedCodeEntry> packed(entries);
    for (size_t k = 0; k < packed.size(); ++k) {
        const int c = code.entryCondition[k];
        PackedCodeEntry& e = packed[k];
        e.validFrom = code.entryValidFrom[k];
        e.validTo = code.entryValidTo[k];
        e.condition = static_cast<uint16_t>(c);
        if (c < 0 || c >= kinds.conditionCount) {  // only in entries no code reaches
            e.firstSlot = kLastSlot + 1;
            e.lastSlot = 0;
            continue;
        }
        e.firstSlot = static_cast<uint8_t>(std::clamp<int>(kinds.firstSlot[static_cast<size_t>(c)], 1, kLastSlot + 1));
        e.lastSlot = static_cast<uint8_t>(std::clamp<int>(kinds.lastSlot[static_cast<size_t>(c)], 0, kLastSlot));
    }
    return packed;
}

std::vector<CodeEntryRange> pairEntryRanges(const std::vector<int32_t>& begin, const std::vector<int32_t>& end) {
    std::vector<CodeEntryRange> ranges(std::min(begin.size(), end.size()));
    for (size_t id = 0; id < ranges.size(); ++id) ranges[id] = {begin[id], end[id]};
    return ranges;
}

uint16_t refinedEntry(const TableSet& tables, const RefinedCodeIndex& index, uint32_t adrg, char suffix) {
    const int entry = findRefinedCode(index, refinedCodeKey(tables, adrg, suffix));
    return entry > 0 ? static_cast<uint16_t>(entry) : 0;
}

RefinementIndex packRefinements(const TableSet& tables, const RefinedCodeIndex& index) {
    const RefinementTable& t = tables.refinement;
    RefinementIndex packed;
    const uint32_t adrgs = tables.adrgCodes.text.size();
    const size_t rowArrays = std::min({t.refinementMinAge.size(), t.refinementMaxAge.size(),
                                       t.refinementValidFrom.size(), t.refinementValidTo.size(),
                                       t.refinementSuffix.size()});
    const size_t ranged = std::min({static_cast<size_t>(t.adrgCount), t.refinementBegin.size(),
                                    t.refinementEnd.size(), static_cast<size_t>(adrgs)});
    // Refinement reads ADRG ranges only below the count; the rows of a range
    // must all exist, and the copies stay bounded however the ranges overlap.
    size_t total = 0;
    for (size_t a = 0; a < ranged; ++a) {
        const int begin = t.refinementBegin[a], end = t.refinementEnd[a];
        if (begin >= end) continue;
        if (begin < 0 || static_cast<size_t>(end) > rowArrays) return packed;
        total += static_cast<size_t>(end - begin);
    }
    if (total > 2 * rowArrays) return packed;
    packed.byAdrg.resize(adrgs);
    packed.rows.reserve(total);
    for (uint32_t a = 0; a < adrgs; ++a) {
        RefinementIndex::Adrg& entry = packed.byAdrg[a];
        entry = {static_cast<uint32_t>(packed.rows.size()), 0, refinedEntry(tables, index, a, '0')};
        if (a >= ranged) continue;
        for (int i = t.refinementBegin[a]; i < t.refinementEnd[a]; ++i) {
            const auto r = static_cast<size_t>(i);
            const char suffix = t.refinementSuffix[r];
            packed.rows.push_back({t.refinementValidFrom[r], t.refinementValidTo[r], t.refinementMinAge[r],
                                   t.refinementMaxAge[r], refinedEntry(tables, index, a, suffix), suffix});
        }
        entry.rowCount = static_cast<uint16_t>(packed.rows.size() - entry.firstRow);
    }
    packed.usable = true;
    return packed;
}

std::vector<uint64_t> findSexSpecificDiagnoses(const TableSet& tables) {
    const CodeConditionTable& code = tables.codeConditions;
    const ConditionTable& kinds = tables.conditions;
    const size_t count = code.diagnosisEntryBegin.size();
    std::vector<uint64_t> bits((count + 63) / 64, 0);
    for (size_t d = 0; d < count; ++d)
        for (int32_t k = code.diagnosisEntryBegin[d]; k < code.diagnosisEntryEnd[d]; ++k) {
            const int c = code.entryCondition[static_cast<size_t>(k)];
            if ((c == kFemaleOnlyCondition || c == kMaleOnlyCondition) && c < kinds.conditionCount &&
                kinds.firstSlot[static_cast<size_t>(c)] == 1 && kinds.lastSlot[static_cast<size_t>(c)] == 1)
                bits[d / 64] |= uint64_t{1} << (d % 64);
        }
    return bits;
}

std::vector<uint64_t> findDiagnosesWithPartners(const DaggerAsteriskTable& pairs) {
    const size_t count = std::min(pairs.pairBegin.size(), pairs.pairEnd.size());
    std::vector<uint64_t> bits((count + 63) / 64, 0);
    for (size_t d = 0; d < count; ++d)
        if (pairs.pairBegin[d] < pairs.pairEnd[d]) bits[d / 64] |= uint64_t{1} << (d % 64);
    return bits;
}

// A hash of the bytes of a run of items, eight at a time.
uint64_t runHash(const void* items, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(items);
    uint64_t hash = bytes;
    size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        hash = (hash ^ word) * 0x9e3779b97f4a7c15ull;
        hash ^= hash >> 29;
    }
    for (; i < bytes; ++i) hash = (hash ^ p[i]) * 0x9e3779b97f4a7c15ull;
    return hash ^ (hash >> 32);
}

// Points `ranges` (into `items`) into `held` instead, where each distinct run
// of items is appended once; an empty range becomes {0, 0}. False, with
// nothing changed, when a range lies outside `items`. Items compare by their
// bytes, so T must have no padding.
template <class T>
bool holdRunsOnce(const std::vector<T>& items, std::vector<CodeEntryRange>& ranges, std::vector<T>& held) {
    static_assert(std::has_unique_object_representations_v<T>);
    for (const CodeEntryRange r : ranges)
        if (r.begin < r.end && (r.begin < 0 || static_cast<size_t>(r.end) > items.size())) return false;
    // Open addressing by content hash: each place holds 1 + the first index
    // of `ranges` whose run is held, or 0 when free.
    std::vector<uint32_t> places(std::bit_ceil(2 * ranges.size() + 2), 0);
    const size_t mask = places.size() - 1;
    for (size_t n = 0; n < ranges.size(); ++n) {
        const CodeEntryRange r = ranges[n];
        if (r.begin >= r.end) {
            ranges[n] = {0, 0};
            continue;
        }
        const T* run = items.data() + r.begin;
        const size_t bytes = static_cast<size_t>(r.end - r.begin) * sizeof(T);
        size_t i = runHash(run, bytes) & mask;
        for (; places[i] != 0; i = (i + 1) & mask) {
            const CodeEntryRange other = ranges[places[i] - 1];
            if (static_cast<size_t>(other.end - other.begin) * sizeof(T) == bytes &&
                std::memcmp(run, held.data() + other.begin, bytes) == 0)
                break;
        }
        if (places[i] != 0) {
            ranges[n] = ranges[places[i] - 1];
            continue;
        }
        places[i] = static_cast<uint32_t>(n + 1);
        ranges[n] = {static_cast<int32_t>(held.size()), static_cast<int32_t>(held.size() + (r.end - r.begin))};
        held.insert(held.end(), run, run + (r.end - r.begin));
    }
    return true;
}

// Many codes carry the same entries (procedures above all), so each
// distinct run is held once and the runs that records read stay close.
// When a range lies outside the entries, they are kept as the table has them.
void shareCodeEntries(TableLookups& lookups, std::vector<PackedCodeEntry> entries,
                      std::vector<CodeEntryRange> diagnosisRanges, std::vector<CodeEntryRange> procedureRanges) {
    std::vector<PackedCodeEntry> held;
    std::vector<CodeEntryRange> diagnoses = diagnosisRanges, procedures = procedureRanges;
    if (holdRunsOnce(entries, diagnoses, held) && holdRunsOnce(entries, procedures, held)) {
        lookups.codeEntries = std::move(held);
        lookups.diagnosisEntryRanges = std::move(diagnoses);
        lookups.procedureEntryRanges = std::move(procedures);
        return;
    }
    lookups.codeEntries = std::move(entries);
    lookups.diagnosisEntryRanges = std::move(diagnosisRanges);
    lookups.procedureEntryRanges = std::move(procedureRanges);
}

LevelRowIndex packLevelRows(const ComplicationLevelTable& t) {
    std::vector<LevelRowIndex::Row> rows(std::min({t.cclValidFrom.size(), t.cclValidTo.size(), t.cclProfile.size()}));
    for (size_t r = 0; r < rows.size(); ++r) rows[r] = {t.cclValidFrom[r], t.cclValidTo[r], t.cclProfile[r]};
    const size_t diagnoses = std::min(t.cclRowBegin.size(), t.cclRowEnd.size());
    std::vector<CodeEntryRange> ranges(diagnoses);
    for (size_t d = 0; d < diagnoses; ++d) ranges[d] = {t.cclRowBegin[d], t.cclRowEnd[d]};
    LevelRowIndex index;
    // Ranges beyond the rows are only where no code reaches; such a table
    // is read as it stands.
    if (!holdRunsOnce(rows, ranges, index.rows) || index.rows.size() > static_cast<size_t>(INT16_MAX))
        return LevelRowIndex{};
    index.byDiagnosis.resize(diagnoses);
    for (size_t d = 0; d < diagnoses; ++d) {
        const CodeEntryRange r = ranges[d];
        LevelRowIndex::Row first{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), 0};
        if (r.begin < r.end) first = index.rows[static_cast<size_t>(r.begin)];
        index.byDiagnosis[d] = {first.validFrom, first.validTo, static_cast<int16_t>(r.begin),
                                static_cast<int16_t>(r.end), first.profile};
    }
    index.usable = true;
    return index;
}

// The list entries[begin, end) as ExclusionListAid holds it.
ExclusionListAid exclusionListAid(const std::vector<int16_t>& entries, int32_t begin, int32_t end) {
    ExclusionListAid aid{{1, 1}, {0, 0}, 0, 0};  // both runs empty
    int runs = 0;
    bool inPlace = true;
    for (int32_t i = begin; i < end && inPlace; ++i) {
        const int x = entries[static_cast<size_t>(i)];
        if (runs > 0 && (x == aid.high[runs - 1] || x == aid.high[runs - 1] + 1)) {
            aid.high[runs - 1] = static_cast<int16_t>(x);  // the run goes on, or x repeats
        } else if ((runs > 0 && x < aid.high[runs - 1]) || runs == 2) {
            inPlace = false;  // out of order, or a third run
        } else {
            aid.low[runs] = aid.high[runs] = static_cast<int16_t>(x);
            ++runs;
        }
    }
    if (inPlace) return aid;
    return {{entries[static_cast<size_t>(begin)], 1}, {entries[static_cast<size_t>(end - 1)], 0}, begin, end};
}

}  // namespace

SharedExclusionLists shareExclusionLists(const CcExclusionTable& t) {
    const size_t count = static_cast<size_t>(std::max(t.exclusionDiagnosisCount, 0));
    if (t.exclusionBegin.size() < count || t.exclusionEnd.size() < count) return {};
    std::vector<CodeEntryRange> ranges = pairEntryRanges(t.exclusionBegin, t.exclusionEnd);
    ranges.resize(count);
    SharedExclusionLists shared;
    if (!holdRunsOnce(t.exclusionList, ranges, shared.entries)) return {};
    shared.byDiagnosis.resize(count);
    for (size_t d = 0; d < count; ++d)
        shared.byDiagnosis[d] = exclusionListAid(shared.entries, ranges[d].begin, ranges[d].end);
    shared.usable = true;
    return shared;
}

TableLookups buildTableLookups(const TableSet& tables) {
    TableLookups lookups;
    const std::vector<uint32_t> weight = conditionWeights(tables);
    for (int v = 0; v < kDecisionVersions; ++v)
        lookups.decisionRowGuards[v] = buildRowGuards(tables.decisionTables[v], weight);
    lookups.refinedCodeIndex = buildRefinedCodes(tables.refinedCodes);
    lookups.refinements = packRefinements(tables, lookups.refinedCodeIndex);
    const CodeConditionTable& code = tables.codeConditions;
    shareCodeEntries(lookups, packCodeEntries(tables), pairEntryRanges(code.diagnosisEntryBegin, code.diagnosisEntryEnd),
                     pairEntryRanges(code.procedureEntryBegin, code.procedureEntryEnd));
    lookups.diagnosisCodes = buildCodeHash(tables.diagnosisIndex.code, tables.diagnosisIndex.id,
                                           tables.diagnosisIndex.count, kDiagnosisCodeWidth,
                                           lookups.diagnosisEntryRanges);
    lookups.procedureCodes = buildCodeHash(tables.procedureIndex.code, tables.procedureIndex.id,
                                           tables.procedureIndex.count, kProcedureCodeWidth,
                                           lookups.procedureEntryRanges);
    lookups.sexSpecificDiagnoses = findSexSpecificDiagnoses(tables);
    lookups.hasAsteriskPartners = findDiagnosesWithPartners(tables.daggerAsterisk);
    for (int v = 0; v < kLevelVersions; ++v) lookups.levelRows[v] = packLevelRows(tables.levelTables[v]);
    for (int v = 0; v < kExclusionVersions; ++v)
        lookups.exclusionLists[v] = shareExclusionLists(tables.exclusionTables[v]);
    return lookups;
}

}  // namespace drg
