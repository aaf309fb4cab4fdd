#include "tablesource/source_decompiler.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "tables/condition_kinds.h"
#include "tables/code_lookup.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tablesource/compile_steps.h"
#include "tablesource/source_layout.h"

namespace drg::source {
namespace {

// A padded code or group text as a source token: trailing blanks dropped.
std::string textToken(const char* padded, size_t width) {
    std::string text(padded, width);
    while (text.size() > 1 && text.back() == ' ') text.pop_back();
    return escapeToken(text);
}

std::string dateText(int32_t value, int32_t open) { return value == open ? "-" : std::to_string(value); }

std::string byteToken(char c) { return escapeToken(std::string(1, c)); }

// The codes of one index as lookup sees them, with the canonical token of
// every id that some code holds.
struct CodeView {
    struct Code {
        std::string padded;
        int16_t id;  // after renumbering
        uint8_t spare;
    };
    std::vector<Code> codes;                // in source (sorted) order
    std::map<int16_t, int16_t> newIdOf;     // original id -> id in the source, ids that codes hold
    std::map<int16_t, std::string> tokens;  // id in the source -> first code holding it

    // The token of an original id, "-" for 0, nullopt when no code holds it.
    std::optional<std::string> token(int32_t originalId) const {
        if (originalId == 0) return std::string("-");
        auto it = newIdOf.find(static_cast<int16_t>(originalId));
        if (originalId < INT16_MIN || originalId > INT16_MAX || it == newIdOf.end()) return std::nullopt;
        return tokens.at(it->second);
    }
    // Original ids of the held ids, in the order of their ids in the source.
    std::vector<int16_t> originalIdsInOrder() const {
        std::vector<std::pair<int16_t, int16_t>> pairs;
        for (const auto& [original, renumbered] : newIdOf)
            if (renumbered != 0) pairs.push_back({renumbered, original});
        std::sort(pairs.begin(), pairs.end());
        std::vector<int16_t> out;
        for (const auto& p : pairs) out.push_back(p.second);
        return out;
    }
};

CodeView viewCodes(const TableSet& t, bool diagnosis) {
    const TextArray& text = diagnosis ? t.diagnosisIndex.code : t.procedureIndex.code;
    const std::vector<int16_t>& ids = diagnosis ? t.diagnosisIndex.id : t.procedureIndex.id;
    const uint16_t count = diagnosis ? t.diagnosisIndex.count : t.procedureIndex.count;
    const int width = diagnosis ? kDiagnosisCodeWidth : kProcedureCodeWidth;
    auto spareAt = [&](size_t p) -> uint8_t { return diagnosis ? t.diagnosisIndex.spare[p] : kDefaultSpare; };

    bool sorted = true;
    for (uint32_t p = 2; p < count; ++p)
        if (boundedCompare(text.at(p - 1), text.at(p), width) >= 0) sorted = false;
    CodeView view;
    if (sorted) {
        for (uint32_t p = 1; p < count; ++p) view.codes.push_back({std::string(text.at(p), width), ids[p], spareAt(p)});
    } else {
        // What lookup finds for each text decides; unreachable positions vanish.
        std::map<std::string, CodeView::Code> found;
        for (uint32_t p = 1; p < count; ++p) {
            std::string padded(text.at(p), width);
            const int16_t id = lookupCode(t, padded.c_str(), diagnosis ? 1 : kDiagnosisSlots + 1);
            found.try_emplace(padded, CodeView::Code{padded, id, spareAt(p)});
        }
        for (auto& [padded, code] : found) view.codes.push_back(code);
    }
    // Ids must stay below the index size; renumber in order when they would not.
    std::set<int16_t> held;
    for (const auto& code : view.codes)
        if (code.id != 0) held.insert(code.id);
    const bool renumber = !held.empty() && *held.rbegin() > static_cast<int16_t>(view.codes.size());
    int16_t next = 1;
    for (int16_t id : held) view.newIdOf[id] = renumber ? next++ : id;
    view.newIdOf[0] = 0;
    for (auto& code : view.codes) {
        code.id = view.newIdOf.at(code.id);
        if (code.id != 0) view.tokens.try_emplace(code.id, textToken(code.padded.data(), code.padded.size()));
    }
    view.newIdOf.erase(0);
    return view;
}

SourceFile codeFile(const CodeView& view, bool diagnosis) {
    SourceFile file;
    bool explicitIds = false, spares = false;
    for (size_t p = 0; p < view.codes.size(); ++p) {
        explicitIds = explicitIds || view.codes[p].id != static_cast<int16_t>(p + 1);
        spares = spares || view.codes[p].spare != static_cast<uint8_t>(kDefaultSpare);
    }
    file.columns = {"code"};
    if (explicitIds) file.columns.push_back("id");
    if (diagnosis && spares) file.columns.push_back("spare");
    for (const auto& code : view.codes) {
        SourceRow row{0, {textToken(code.padded.data(), code.padded.size())}};
        if (explicitIds) row.fields.push_back(std::to_string(code.id));
        if (diagnosis && spares) row.fields.push_back(byteToken(static_cast<char>(code.spare)));
        file.rows.push_back(std::move(row));
    }
    return file;
}

// Group references: the text when it names this entry, "@n" otherwise.
class GroupView {
public:
    // Only the first `mostEntries` entries (placeholder included) are kept:
    // decision rows name MDCs and ADRGs in 16-bit fields, so the grouper never
    // reaches an entry beyond 32767 of those lists.
    GroupView(const CodeTextTable& table, size_t mostEntries)
        : table_(table), count_(std::min<size_t>(table.count, mostEntries)), repeated_(count_, false) {
        std::unordered_set<std::string_view> seen;
        for (uint32_t i = 1; i < count_; ++i)
            repeated_[i] = !seen.insert(std::string_view(table.text.at(i), table.text.width)).second;
    }
    size_t count() const { return count_; }
    std::string token(int64_t index) const {
        if (index == 0) return "-";
        if (repeated_[static_cast<size_t>(index)]) return "@" + std::to_string(index);
        return textToken(table_.text.at(static_cast<uint32_t>(index)), table_.text.width);
    }
    bool valid(int64_t index) const { return index > 0 && static_cast<size_t>(index) < count_; }

private:
    const CodeTextTable& table_;
    size_t count_;
    std::vector<bool> repeated_;  // the text of entry i is also that of an earlier entry from 1 on
};

constexpr size_t kRowEntries = static_cast<size_t>(kMostSigned16) + 1;  // MDC and ADRG lists
constexpr size_t kAllEntries = 65536;                                   // refined codes

// The size of the source being made, estimated for each part before it is
// made: once the estimate passes the limit, nothing more is made, only
// counted, so that a small release whose row ranges overlap many times over
// cannot make the dump run out of time or memory.
class SourceBudget {
public:
    explicit SourceBudget(uint64_t most) : most_(most) {}
    // Counts `bytes` for the part of `file` about to be made; false when it should not be made.
    bool take(uint64_t bytes, const std::string& file) {
        estimate_ += bytes;
        if (estimate_ > most_ && firstFileOver_.empty()) firstFileOver_ = file;
        return estimate_ <= most_;
    }
    bool over() const { return estimate_ > most_; }
    uint64_t estimate() const { return estimate_; }
    const std::string& firstFileOver() const { return firstFileOver_; }

private:
    uint64_t most_, estimate_ = 0;
    std::string firstFileOver_;
};

// Rough sizes of one row of each row table in the source, for the budget.
constexpr uint64_t kDaggerRowBytes = 32, kCodeConditionRowBytes = 24, kDecisionRowBytes = 40,
                   kRefinementRowBytes = 24, kLevelRowBytes = 24, kExclusionRowBytes = 12, kSplitRowBytes = 28;

uint64_t rangeLength(std::pair<int64_t, int64_t> range) {
    return range.second > range.first ? static_cast<uint64_t>(range.second - range.first) : 0;
}

SourceFile groupFile(const CodeTextTable& table, const GroupView& view) {
    SourceFile file{0, {"code"}, {}};
    for (uint32_t i = 1; i < view.count(); ++i)
        file.rows.push_back({0, {textToken(table.text.at(i), table.text.width)}});
    return file;
}

// Rows of key `key` of a range pair, or none when the key is beyond the arrays.
template <class Index>
std::pair<int64_t, int64_t> rangeOf(const std::vector<Index>& begin, const std::vector<Index>& end, size_t key) {
    if (key >= begin.size() || key >= end.size()) return {0, 0};
    return {begin[key], end[key]};
}

SourceFile releaseFile(const TableSet& t) {
    SourceFile file{0, {"setting", "value"}, {}};
    const int n = t.conditions.conditionCount;
    int highestListed = -1;
    for (int c = 0; c < n; ++c)
        if (t.conditions.conditionKind[c] != expectedConditionKind(c) ||
            t.conditions.firstSlot[c] != kDefaultFirstSlot || t.conditions.lastSlot[c] != kDefaultLastSlot)
            highestListed = c;
    if (n != std::max(kMinimumConditionCount, highestListed + 1))
        file.rows.push_back({0, {"condition_count", std::to_string(n)}});
    for (int f = 0; f < kTableFileCount; ++f) {
        std::string tail(t.headers[f].begin() + static_cast<long>(headerTextOffset(f)), t.headers[f].end());
        while (!tail.empty() && tail.back() == ' ') tail.pop_back();
        if (!tail.empty()) file.rows.push_back({0, {headerSettingName(f), escapeText(tail)}});
    }
    const std::pair<const char*, const CodeTextTable*> lists[] = {
        {"Tmdc.idx", &t.mdcCodes}, {"Tadrg.idx", &t.adrgCodes}, {"Taadrg.idx", &t.refinedCodes}};
    for (const auto& [name, table] : lists) {
        if (table->count == 0) continue;
        std::string placeholder(table->text.at(0), table->text.width);
        if (placeholder != std::string(table->text.width, ' ')) {
            while (!placeholder.empty() && placeholder.back() == ' ') placeholder.pop_back();
            file.rows.push_back({0, {std::string("placeholder.") + name, escapeText(placeholder)}});
        }
    }
    return file;
}

SourceFile conditionFile(const ConditionTable& t) {
    SourceFile file;
    bool kinds = false, slots = false;
    std::vector<int> listed;
    for (int c = 0; c < t.conditionCount; ++c) {
        const bool kind = t.conditionKind[c] != expectedConditionKind(c);
        const bool slot = t.firstSlot[c] != kDefaultFirstSlot || t.lastSlot[c] != kDefaultLastSlot;
        if (kind || slot) listed.push_back(c);
        kinds = kinds || kind;
        slots = slots || slot;
    }
    file.columns = {"condition"};
    if (kinds) file.columns.push_back("kind");
    if (slots) file.columns.insert(file.columns.end(), {"first_slot", "last_slot"});
    for (int c : listed) {
        SourceRow row{0, {std::to_string(c)}};
        if (kinds) row.fields.push_back(byteToken(t.conditionKind[c]));
        if (slots) row.fields.insert(row.fields.end(), {std::to_string(t.firstSlot[c]), std::to_string(t.lastSlot[c])});
        file.rows.push_back(std::move(row));
    }
    return file;
}

SourceFile daggerFile(const DaggerAsteriskTable& t, const CodeView& dx, SourceBudget& budget) {
    SourceFile file{0, {"principal", "partner", "from", "to"}, {}};
    const std::string name = sourceFileName(SourceTable::DaggerAsterisk);
    std::vector<int16_t> principals{0};
    for (int16_t id : dx.originalIdsInOrder()) principals.push_back(id);
    for (int16_t p : principals) {
        const auto [b, e] = rangeOf(t.pairBegin, t.pairEnd, static_cast<size_t>(p));
        if (!budget.take(rangeLength({b, e}) * kDaggerRowBytes, name)) continue;
        for (int64_t k = b; k < e; ++k) {
            const auto partner = dx.token(t.pairPartner[k]);
            if (t.pairPartner[k] == 0 || !partner) continue;  // never matches a code in slot 2
            file.rows.push_back({0, {*dx.token(p), *partner, dateText(t.pairValidFrom[k], kOpenFrom),
                                     dateText(t.pairValidTo[k], kOpenTo)}});
        }
    }
    return file;
}

SourceFile codeConditionFile(const CodeConditionTable& t, const CodeView& view, bool diagnosis, SourceBudget& budget) {
    const auto& begin = diagnosis ? t.diagnosisEntryBegin : t.procedureEntryBegin;
    const auto& end = diagnosis ? t.diagnosisEntryEnd : t.procedureEntryEnd;
    const std::string name =
        sourceFileName(diagnosis ? SourceTable::DiagnosisConditions : SourceTable::ProcedureConditions);
    std::vector<std::pair<int16_t, int64_t>> entries;  // original id, entry
    bool tags = false;
    for (int16_t id : view.originalIdsInOrder()) {
        const auto [b, e] = rangeOf(begin, end, static_cast<size_t>(id));
        if (!budget.take(rangeLength({b, e}) * kCodeConditionRowBytes, name)) continue;
        for (int64_t k = b; k < e; ++k) {
            entries.push_back({id, k});
            tags = tags || t.entryTag[k] != static_cast<uint8_t>(kDefaultTag);
        }
    }
    SourceFile file{0, {"code", "condition", "from", "to"}, {}};
    if (tags) file.columns.push_back("tag");
    for (const auto& [id, k] : entries) {
        SourceRow row{0, {*view.token(id), std::to_string(t.entryCondition[k]), dateText(t.entryValidFrom[k], kOpenFrom),
                          dateText(t.entryValidTo[k], kOpenTo)}};
        if (tags) row.fields.push_back(byteToken(static_cast<char>(t.entryTag[k])));
        file.rows.push_back(std::move(row));
    }
    return file;
}

SourceFile decisionFile(const DecisionTable& t, const TableSet& tables, const GroupView& mdcs,
                        const GroupView& adrgs, const std::string& name, SourceBudget& budget) {
    SourceFile file{0, {"range", "must_hold", "must_not_hold", "mdc", "adrg", "from", "to"}, {}};
    const int n = tables.conditions.conditionCount;
    for (size_t m = 1; m < mdcs.count(); ++m) {
        const auto [b, e] = rangeOf(t.rowBegin, t.rowEnd, m);
        if (!budget.take(rangeLength({b, e}) * kDecisionRowBytes, name)) continue;
        for (int64_t r = b; r < e; ++r) {
            std::vector<std::string> hold, notHold;
            for (int k = 0; k < kRowConditionColumns; ++k) {
                const int16_t c = t.rowConditions[static_cast<size_t>(r) * kRowConditionColumns + k];
                // Empty places; the count stands in a must-not-hold place as its 16-bit pattern.
                if (c == 0 || (k >= kMustBeSetColumns && static_cast<uint16_t>(c) == n)) continue;
                (k < kMustBeSetColumns ? hold : notHold).push_back(std::to_string(c));
            }
            file.rows.push_back({0, {mdcs.token(static_cast<int64_t>(m)), joinList(hold), joinList(notHold),
                                     mdcs.valid(t.rowMdc[r]) ? mdcs.token(t.rowMdc[r]) : "-", adrgs.token(t.rowAdrg[r]),
                                     dateText(t.rowValidFrom[r], kOpenFrom), dateText(t.rowValidTo[r], kOpenTo)}});
        }
    }
    return file;
}

SourceFile refinementFile(const RefinementTable& t, const GroupView& adrgs, SourceBudget& budget) {
    SourceFile file{0, {"adrg", "min_age", "max_age", "suffix", "from", "to"}, {}};
    const std::string name = sourceFileName(SourceTable::Refinements);
    for (size_t a = 1; a < adrgs.count(); ++a) {
        const auto [b, e] = rangeOf(t.refinementBegin, t.refinementEnd, a);
        if (!budget.take(rangeLength({b, e}) * kRefinementRowBytes, name)) continue;
        for (int64_t r = b; r < e; ++r)
            file.rows.push_back({0, {adrgs.token(static_cast<int64_t>(a)), std::to_string(t.refinementMinAge[r]),
                                     std::to_string(t.refinementMaxAge[r]), byteToken(t.refinementSuffix[r]),
                                     dateText(t.refinementValidFrom[r], kOpenFrom),
                                     dateText(t.refinementValidTo[r], kOpenTo)}});
    }
    return file;
}

// The `default` and `levels` fields of a matrix row: the level that a
// record of ADRG a gets, written as the most frequent level and the ADRGs
// that differ from it. ADRGs beyond the matrix get level '0'.
std::pair<std::string, std::string> levelFields(const ComplicationLevelTable& t, size_t profile, const GroupView& adrgs) {
    const size_t adrgCount = adrgs.count();
    std::vector<uint8_t> levels(adrgCount, '0');
    const size_t profileStart = profile * t.cclColumnCount;
    for (size_t a = 1; a < adrgCount && a < t.cclColumnCount; ++a) levels[a] = t.cclMatrix[profileStart + a];
    std::array<size_t, 256> frequency{};
    for (size_t a = 1; a < adrgCount; ++a) ++frequency[levels[a]];
    uint8_t fallback = '0';
    for (size_t level = 0; level < frequency.size(); ++level)
        if (frequency[level] > frequency[fallback]) fallback = static_cast<uint8_t>(level);
    std::vector<std::string> exceptions;
    for (size_t a = 1; a < adrgCount; ++a)
        if (levels[a] != fallback)
            exceptions.push_back(adrgs.token(static_cast<int64_t>(a)) + "=" + byteToken(static_cast<char>(levels[a])));
    return {byteToken(static_cast<char>(fallback)), joinList(exceptions)};
}

SourceFile levelFile(const ComplicationLevelTable& t, const CodeView& dx, const GroupView& adrgs,
                     const std::string& name, SourceBudget& budget) {
    SourceFile file{0, {"diagnosis", "default", "levels", "from", "to"}, {}};
    // Rows share matrix rows: the fields of each are made once.
    std::map<size_t, std::pair<std::string, std::string>> fieldsOfProfile;
    for (int16_t id : dx.originalIdsInOrder()) {
        const auto [b, e] = rangeOf(t.cclRowBegin, t.cclRowEnd, static_cast<size_t>(id));
        for (int64_t r = b; r < e; ++r) {
            const auto profile = static_cast<size_t>(t.cclProfile[r]);
            auto it = fieldsOfProfile.find(profile);
            if (it == fieldsOfProfile.end()) {
                if (!budget.take(adrgs.count(), name)) continue;  // making the fields reads a matrix row
                it = fieldsOfProfile.emplace(profile, levelFields(t, profile, adrgs)).first;
            }
            if (!budget.take(kLevelRowBytes + it->second.second.size(), name)) continue;
            file.rows.push_back({0, {*dx.token(id), it->second.first, it->second.second,
                                     dateText(t.cclValidFrom[r], kOpenFrom), dateText(t.cclValidTo[r], kOpenTo)}});
        }
    }
    return file;
}

SourceFile exclusionFile(const CcExclusionTable& t, const CodeView& dx, const std::string& name, SourceBudget& budget) {
    SourceFile file{0, {"diagnosis", "excluded"}, {}};
    // Lists that several diagnoses share are read once.
    std::map<std::pair<int64_t, int64_t>, std::string> listOfRange;
    for (int16_t id : dx.originalIdsInOrder()) {
        const auto [b, e] = rangeOf(t.exclusionBegin, t.exclusionEnd, static_cast<size_t>(id));
        if (b >= e) continue;
        auto it = listOfRange.find({b, e});
        if (it == listOfRange.end()) {
            if (!budget.take(rangeLength({b, e}), name)) continue;
            // The membership test rejects what lies outside the first and last entries.
            const int16_t low = t.exclusionList[b], high = t.exclusionList[e - 1];
            std::set<int16_t> members;  // ids in the source
            for (int64_t i = b; i < e; ++i) {
                const int16_t x = t.exclusionList[i];
                if (x < low || x > high) continue;
                if (x == 0) members.insert(0);
                else if (auto held = dx.newIdOf.find(x); held != dx.newIdOf.end()) members.insert(held->second);
            }
            std::vector<std::string> tokens;
            for (int16_t m : members) tokens.push_back(m == 0 ? "-" : dx.tokens.at(m));
            it = listOfRange.emplace(std::make_pair(b, e), tokens.empty() ? "" : joinList(tokens)).first;
        }
        if (it->second.empty() || !budget.take(kExclusionRowBytes + it->second.size(), name)) continue;
        file.rows.push_back({0, {*dx.token(id), it->second}});
    }
    return file;
}

SourceFile splitFile(const PcclSplitTable& t, const GroupView& refined, SourceBudget& budget) {
    SourceFile file{0, {"refined", "profile", "from", "to"}, {}};
    const std::string name = sourceFileName(SourceTable::Splits);
    for (size_t i = 1; i < refined.count(); ++i) {
        const auto [b, e] = rangeOf(t.splitRowBegin, t.splitRowEnd, i);
        if (!budget.take(rangeLength({b, e}) * kSplitRowBytes, name)) continue;
        for (int64_t r = b; r < e; ++r) {
            const auto start = static_cast<size_t>(t.splitProfile[r]) * kSplitProfileWidth;
            const std::string profile(t.splitCharacters.begin() + static_cast<long>(start),
                                      t.splitCharacters.begin() + static_cast<long>(start + kSplitProfileWidth));
            file.rows.push_back({0, {refined.token(static_cast<int64_t>(i)), escapeToken(profile),
                                     dateText(t.splitValidFrom[r], kOpenFrom), dateText(t.splitValidTo[r], kOpenTo)}});
        }
    }
    return file;
}

void addIfRows(Source& source, SourceTable table, SourceFile file) {
    if (!file.rows.empty()) source[sourceFileName(table)] = std::move(file);
}

// Writes the first version when it has rows and every later one that differs from the version before.
void addVersions(Source& source, SourceTable table, const std::vector<SourceFile>& versions) {
    for (size_t v = 0; v < versions.size(); ++v) {
        const bool write = v == 0 ? !versions[v].rows.empty() : !sameContent(versions[v], versions[v - 1]);
        if (write) source[sourceFileName(table, static_cast<int>(v))] = versions[v];
    }
}

}  // namespace

std::optional<Source> decompileTables(const TableSet& t, uint64_t mostBytes, std::string* problem) {
    Source source;
    SourceBudget budget(mostBytes);
    const CodeView dx = viewCodes(t, true), sg = viewCodes(t, false);
    const GroupView mdcs(t.mdcCodes, kRowEntries), adrgs(t.adrgCodes, kRowEntries), refined(t.refinedCodes, kAllEntries);
    addIfRows(source, SourceTable::Release, releaseFile(t));
    addIfRows(source, SourceTable::Conditions, conditionFile(t.conditions));
    addIfRows(source, SourceTable::Diagnoses, codeFile(dx, true));
    addIfRows(source, SourceTable::Procedures, codeFile(sg, false));
    addIfRows(source, SourceTable::Mdcs, groupFile(t.mdcCodes, mdcs));
    addIfRows(source, SourceTable::Adrgs, groupFile(t.adrgCodes, adrgs));
    addIfRows(source, SourceTable::Refined, groupFile(t.refinedCodes, refined));
    addIfRows(source, SourceTable::DaggerAsterisk, daggerFile(t.daggerAsterisk, dx, budget));
    addIfRows(source, SourceTable::DiagnosisConditions, codeConditionFile(t.codeConditions, dx, true, budget));
    addIfRows(source, SourceTable::ProcedureConditions, codeConditionFile(t.codeConditions, sg, false, budget));
    std::vector<SourceFile> decisions, levels, exclusions;
    for (size_t v = 0; v < t.decisionTables.size(); ++v)
        decisions.push_back(decisionFile(t.decisionTables[v], t, mdcs, adrgs,
                                         sourceFileName(SourceTable::Decisions, static_cast<int>(v)), budget));
    for (size_t v = 0; v < t.levelTables.size(); ++v)
        levels.push_back(levelFile(t.levelTables[v], dx, adrgs, sourceFileName(SourceTable::Levels, static_cast<int>(v)),
                                   budget));
    for (size_t v = 0; v < t.exclusionTables.size(); ++v)
        exclusions.push_back(exclusionFile(t.exclusionTables[v], dx,
                                           sourceFileName(SourceTable::Exclusions, static_cast<int>(v)), budget));
    addVersions(source, SourceTable::Decisions, decisions);
    addIfRows(source, SourceTable::Refinements, refinementFile(t.refinement, adrgs, budget));
    addVersions(source, SourceTable::Levels, levels);
    addVersions(source, SourceTable::Exclusions, exclusions);
    addIfRows(source, SourceTable::Splits, splitFile(t.splits, refined, budget));
    if (budget.over()) {
        *problem = "its source would take about " + mebibytes(budget.estimate()) + " (" + budget.firstFileOver() +
                   " passes the " + mebibytes(mostBytes) + " allowed without --allow-large)";
        return std::nullopt;
    }
    return source;
}

Source decompileTables(const TableSet& tables) {
    std::string ignored;
    return *decompileTables(tables, kNoSizeLimit, &ignored);
}

}  // namespace drg::source
