#include "support/table_builder.h"

#include <algorithm>
#include <stdexcept>

#include "tables/condition_kinds.h"
#include "tables/table_writer.h"

namespace drg::testing {

std::string padded(const std::string& text, size_t width) {
    std::string s = text.substr(0, std::min(text.size(), width));
    s.resize(width, ' ');
    return s;
}

TableBuilder::TableBuilder() {
    mdcs_.push_back("   ");
    adrgs_.push_back("    ");
    drgs_.push_back("     ");
}

int16_t TableBuilder::diagnosis(const std::string& code) {
    auto [it, added] = diagnoses_.try_emplace(padded(code, 6), static_cast<int16_t>(diagnoses_.size() + 1));
    return it->second;
}

int16_t TableBuilder::procedure(const std::string& code) {
    auto [it, added] = procedures_.try_emplace(padded(code, 5), static_cast<int16_t>(procedures_.size() + 1));
    return it->second;
}

int TableBuilder::textEntry(std::vector<std::string>& list, const std::string& text, size_t width) {
    const std::string t = text.size() == width ? text : padded(text, width);
    for (size_t i = 1; i < list.size(); ++i)
        if (list[i] == t) return static_cast<int>(i);
    list.push_back(t);
    return static_cast<int>(list.size() - 1);
}

int TableBuilder::mdc(const std::string& text) { return textEntry(mdcs_, text, 3); }
int TableBuilder::adrg(const std::string& text) { return textEntry(adrgs_, text, 4); }
int TableBuilder::drg(const std::string& text) { return textEntry(drgs_, text, 5); }

void TableBuilder::conditionCount(int n) { conditionCount_ = n; }
void TableBuilder::conditionKind(int condition, char kind) { kinds_[condition] = kind; }
void TableBuilder::conditionSlots(int condition, int firstSlot, int lastSlot) {
    slots_[condition] = {firstSlot, lastSlot};
}

void TableBuilder::diagnosisCondition(const std::string& code, int condition, Dated dated) {
    diagnosisEntries_[diagnosis(code)].push_back({condition, dated});
}

void TableBuilder::procedureCondition(const std::string& code, int condition, Dated dated) {
    procedureEntries_[procedure(code)].push_back({condition, dated});
}

void TableBuilder::daggerPair(const std::string& principal, const std::string& partner, Dated dated) {
    const int16_t p = diagnosis(principal);
    pairs_[p].push_back({diagnosis(partner), dated});
}

void TableBuilder::decisionRow(const DecisionRowSpec& row) {
    if (row.mustSet.size() > 10 || row.mustClear.size() > 10)
        throw std::invalid_argument("a decision row holds at most ten conditions per half");
    decisionRows_.push_back(row);
}

void TableBuilder::refinementRow(const std::string& adrgText, int minAge, int maxAge, char suffix, Dated dated) {
    refinements_[adrg(adrgText)].push_back({{minAge, maxAge}, {suffix, dated}});
}

void TableBuilder::levelRow(const std::string& code, const std::map<std::string, char>& levels, char otherLevel,
                            Dated dated, const std::vector<int>& versions) {
    LevelRow row{{}, otherLevel, dated};
    for (const auto& [text, level] : levels) row.levels[adrg(text)] = level;
    const int16_t id = diagnosis(code);
    for (int v : versions) levelRows_[v][id].push_back(row);
}

void TableBuilder::exclusions(const std::string& code, const std::vector<std::string>& excluded,
                              const std::vector<int>& versions) {
    const int16_t id = diagnosis(code);
    std::vector<int16_t> ids;
    for (const auto& e : excluded) ids.push_back(diagnosis(e));
    std::sort(ids.begin(), ids.end());
    for (int v : versions) exclusions_[v][id] = ids;
}

void TableBuilder::splitRow(const std::string& drgText, const std::string& profile, Dated dated) {
    std::string p = profile;
    p.resize(kSplitProfileWidth, '\0');
    splits_[drg(drgText)].push_back({p, dated});
}

namespace {

template <class T>
int16_t i16(T v) {
    return static_cast<int16_t>(v);
}

template <class Key, class Rows, class Emit>
void layoutRanges(size_t keyCount, const std::map<Key, Rows>& rowsByKey, std::vector<int16_t>* begin16,
                  std::vector<int16_t>* end16, std::vector<int32_t>* begin32, std::vector<int32_t>* end32,
                  Emit&& emit) {
    int32_t next = 0;
    for (size_t key = 0; key < keyCount; ++key) {
        const int32_t first = next;
        auto it = rowsByKey.find(static_cast<Key>(key));
        if (it != rowsByKey.end())
            for (const auto& row : it->second) {
                emit(row);
                ++next;
            }
        if (begin16) {
            begin16->push_back(i16(first));
            end16->push_back(i16(next));
        } else {
            begin32->push_back(first);
            end32->push_back(next);
        }
    }
}

}  // namespace

TableSet TableBuilder::build() const {
    TableSet t;
    for (auto& header : t.headers) header.fill(' ');

    // Code indices: position 0 is a placeholder, the rest sorted by text.
    const uint16_t dxCount = static_cast<uint16_t>(diagnoses_.size() + 1);
    const uint16_t sgCount = static_cast<uint16_t>(procedures_.size() + 1);
    t.diagnosisIndex.count = dxCount;
    t.diagnosisIndex.code.bytes.assign(6, '\0');
    t.diagnosisIndex.id.push_back(0);
    t.diagnosisIndex.spare.push_back(0);
    for (const auto& [code, id] : diagnoses_) {  // std::map iterates in byte order
        t.diagnosisIndex.code.bytes.insert(t.diagnosisIndex.code.bytes.end(), code.begin(), code.end());
        t.diagnosisIndex.id.push_back(id);
        t.diagnosisIndex.spare.push_back(' ');
    }
    t.procedureIndex.count = sgCount;
    t.procedureIndex.code.bytes.assign(5, '\0');
    t.procedureIndex.id.push_back(0);
    for (const auto& [code, id] : procedures_) {
        t.procedureIndex.code.bytes.insert(t.procedureIndex.code.bytes.end(), code.begin(), code.end());
        t.procedureIndex.id.push_back(id);
    }
    auto texts = [](CodeTextTable& table, const std::vector<std::string>& list) {
        table.count = static_cast<uint16_t>(list.size());
        for (const auto& s : list) table.text.bytes.insert(table.text.bytes.end(), s.begin(), s.end());
    };
    texts(t.mdcCodes, mdcs_);
    texts(t.adrgCodes, adrgs_);
    texts(t.refinedCodes, drgs_);
    const size_t mdcCount = mdcs_.size(), adrgCount = adrgs_.size(), drgCount = drgs_.size();

    auto& dag = t.daggerAsterisk;
    dag.diagnosisCount = dxCount;
    layoutRanges(dxCount, pairs_, nullptr, nullptr, &dag.pairBegin, &dag.pairEnd, [&](const Pair& p) {
        dag.pairValidFrom.push_back(p.dated.from);
        dag.pairValidTo.push_back(p.dated.to);
        dag.pairPartner.push_back(p.partner);
    });
    dag.pairCount = static_cast<uint16_t>(dag.pairPartner.size());

    auto& cond = t.conditions;
    cond.conditionCount = static_cast<uint16_t>(conditionCount_);
    for (int c = 0; c < conditionCount_; ++c) {
        auto kind = kinds_.find(c);
        cond.conditionKind.push_back(kind != kinds_.end() ? kind->second : expectedConditionKind(c));
        auto slots = slots_.find(c);
        cond.firstSlot.push_back(i16(slots != slots_.end() ? slots->second.first : 1));
        cond.lastSlot.push_back(i16(slots != slots_.end() ? slots->second.second : 46));
    }

    auto& code = t.codeConditions;
    code.diagnosisCount = dxCount;
    code.procedureCount = sgCount;
    auto emitEntry = [&](const Entry& e) {
        code.entryTag.push_back('E');
        code.entryValidFrom.push_back(e.dated.from);
        code.entryValidTo.push_back(e.dated.to);
        code.entryCondition.push_back(i16(e.condition));
    };
    layoutRanges(dxCount, diagnosisEntries_, nullptr, nullptr, &code.diagnosisEntryBegin, &code.diagnosisEntryEnd,
                 emitEntry);
    // Procedure ranges follow the diagnosis entries in the shared list.
    const int32_t offset = static_cast<int32_t>(code.entryCondition.size());
    std::vector<int32_t> procedureBegin, procedureEnd;
    layoutRanges(sgCount, procedureEntries_, nullptr, nullptr, &procedureBegin, &procedureEnd, emitEntry);
    for (size_t i = 0; i < procedureBegin.size(); ++i) {
        code.procedureEntryBegin.push_back(procedureBegin[i] + offset);
        code.procedureEntryEnd.push_back(procedureEnd[i] + offset);
    }
    code.entryCount = static_cast<int32_t>(code.entryCondition.size());

    for (int v = 0; v < kDecisionVersions; ++v) {
        auto& table = t.decisionTables[v];
        table.entryCount = static_cast<uint16_t>(mdcCount);
        std::map<int, std::vector<const DecisionRowSpec*>> byRange;
        for (const auto& row : decisionRows_)
            if (std::find(row.versions.begin(), row.versions.end(), v) != row.versions.end())
                byRange[row.range].push_back(&row);
        layoutRanges(mdcCount, byRange, &table.rowBegin, &table.rowEnd, nullptr, nullptr,
                     [&](const DecisionRowSpec* row) {
                         table.rowValidFrom.push_back(row->dated.from);
                         table.rowValidTo.push_back(row->dated.to);
                         for (int k = 0; k < 10; ++k)
                             table.rowConditions.push_back(
                                 i16(k < static_cast<int>(row->mustSet.size()) ? row->mustSet[k] : 0));
                         for (int k = 0; k < 10; ++k)
                             table.rowConditions.push_back(
                                 i16(k < static_cast<int>(row->mustClear.size()) ? row->mustClear[k] : 0));
                         table.rowMdc.push_back(i16(row->mdc));
                         table.rowAdrg.push_back(i16(row->adrg));
                     });
        table.rowCount = static_cast<uint16_t>(table.rowMdc.size());
    }

    auto& ref = t.refinement;
    ref.adrgCount = static_cast<uint16_t>(adrgCount);
    layoutRanges(adrgCount, refinements_, &ref.refinementBegin, &ref.refinementEnd, nullptr, nullptr,
                 [&](const auto& row) {
                     ref.refinementMinAge.push_back(i16(row.first.first));
                     ref.refinementMaxAge.push_back(i16(row.first.second));
                     ref.refinementSuffix.push_back(row.second.first);
                     ref.refinementValidFrom.push_back(row.second.second.from);
                     ref.refinementValidTo.push_back(row.second.second.to);
                 });
    ref.rowCount = static_cast<uint16_t>(ref.refinementSuffix.size());

    for (int v = 0; v < kLevelVersions; ++v) {
        auto& ccl = t.levelTables[v];
        ccl.cclDiagnosisCount = dxCount;
        ccl.cclColumnCount = static_cast<uint16_t>(adrgCount);
        layoutRanges(dxCount, levelRows_[v], &ccl.cclRowBegin, &ccl.cclRowEnd, nullptr, nullptr,
                     [&](const LevelRow& row) {
                         ccl.cclValidFrom.push_back(row.dated.from);
                         ccl.cclValidTo.push_back(row.dated.to);
                         ccl.cclProfile.push_back(i16(ccl.cclProfile.size()));
                         for (size_t a = 0; a < adrgCount; ++a) {
                             auto level = row.levels.find(static_cast<int>(a));
                             ccl.cclMatrix.push_back(
                                 static_cast<uint8_t>(level != row.levels.end() ? level->second : row.otherLevel));
                         }
                     });
        ccl.cclRowCount = static_cast<uint16_t>(ccl.cclProfile.size());
        ccl.cclProfileCount = ccl.cclRowCount;
    }

    auto& split = t.splits;
    split.splitGroupCount = static_cast<uint16_t>(drgCount);
    layoutRanges(drgCount, splits_, &split.splitRowBegin, &split.splitRowEnd, nullptr, nullptr,
                 [&](const Split& row) {
                     split.splitValidFrom.push_back(row.dated.from);
                     split.splitValidTo.push_back(row.dated.to);
                     split.splitProfile.push_back(i16(split.splitProfile.size()));
                     split.splitCharacters.insert(split.splitCharacters.end(), row.profile.begin(),
                                                  row.profile.end());
                 });
    split.splitRowCount = static_cast<uint16_t>(split.splitProfile.size());
    split.splitProfileCount = split.splitRowCount;

    for (int v = 0; v < kExclusionVersions; ++v) {
        auto& ex = t.exclusionTables[v];
        ex.exclusionDiagnosisCount = dxCount;
        std::map<int16_t, std::vector<int16_t>> lists;
        for (const auto& [id, list] : exclusions_[v]) lists[id] = list;
        layoutRanges(dxCount, lists, nullptr, nullptr, &ex.exclusionBegin, &ex.exclusionEnd,
                     [&](int16_t id) { ex.exclusionList.push_back(id); });
        ex.exclusionListCount = static_cast<int32_t>(ex.exclusionList.size());
    }
    return t;
}

void TableBuilder::write(const std::string& directory) const {
    std::string problem;
    if (!writeTableFiles(build(), directory, &problem)) throw std::runtime_error(problem);
}

}  // namespace drg::testing
