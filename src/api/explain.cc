// Worker::explainLine: the grouping steps report to a recorder while they
// group the line; the recorder turns their reports into an Explanation.
#include "drg/explain.h"

#include <algorithm>
#include <map>

#include "api/group_result.h"
#include "conditions/derived_conditions.h"
#include "conditions/grouping_observer.h"
#include "engine/record_grouping.h"
#include "engine/release.h"
#include "record/record_layout.h"
#include "tables/table_files.h"

namespace drg {
namespace {

std::string withoutTrailingBlanks(const char* text, size_t width) {
    std::string s(text, width);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string entryText(const CodeTextTable& table, int entry) {
    if (entry < 0 || entry >= table.count) return "";
    return std::string(table.text.at(static_cast<uint32_t>(entry)), table.text.width);
}

class TraceRecorder final : public GroupingObserver {
public:
    TraceRecorder(const Release& release, const ClaimState& state, const char* record, Explanation& explanation)
        : release_(release), state_(state), record_(record), e_(explanation) {}

    void codeLookedUp(int slot, int16_t codeId) override {
        const RecordField field = codeSlotField(slot);
        codeText_[slot] = withoutTrailingBlanks(record_ + field.offset, static_cast<size_t>(field.width));
        e_.slots.push_back({slot, codeText_[slot], codeId, 0});
    }

    void repeatDropped(int slot, int earlierSlot) override {
        for (auto& s : e_.slots)
            if (s.slot == slot) s.repeatOf = earlierSlot;
    }

    void daggerAsteriskExchanged(int32_t) override {
        e_.daggerAsteriskExchanged = true;
        std::swap(codeText_[1], codeText_[2]);
    }

    void codeConditionRaised(int slot, int32_t, int condition) override {
        auto& sources = sources_[condition];
        for (const auto& s : sources)
            if (s.slot == slot) return;
        sources.push_back({slot, codeText_[slot]});
    }

    void decisionPassDone(DecisionPass pass, int range, int begin, int end, int row) override {
        DecisionPassTrace& t = pass == DecisionPass::Mdc ? e_.mdcPass : e_.adrgPass;
        t.ran = true;
        t.range = range;
        t.firstRow = begin;
        t.endRow = end;
        t.row = row;
        if (row < 0) return;
        const DecisionTable& table = *state_.activeDecisionTable;
        const size_t r = static_cast<size_t>(row);
        // The fix-up stores the condition count in empty must-not-hold places.
        const uint16_t empty = release_.tables.conditions.conditionCount;
        for (int c = 0; c < kRowConditionColumns; ++c) {
            const uint16_t condition = static_cast<uint16_t>(table.rowConditions[r * kRowConditionColumns + c]);
            if (condition == 0 || (c >= kMustBeSetColumns && condition == empty)) continue;
            (c < kMustBeSetColumns ? t.mustHold : t.mustNotHold).push_back(condition);
        }
        t.validFrom = table.rowValidFrom[r];
        t.validTo = table.rowValidTo[r];
        if (pass == DecisionPass::Mdc) t.mdc = entryText(release_.tables.mdcCodes, table.rowMdc[r]);
        t.adrg = entryText(release_.tables.adrgCodes, table.rowAdrg[r]);
    }

    void refinementDone(int row, int refinedEntry) override {
        e_.refined = true;
        e_.refinementRow = row;
        e_.refinedEntry = refinedEntry;
    }

    void levelFound(int slot, int16_t level, int row) override {
        e_.levels.push_back({slot, codeText_[slot], level, row, level, ""});
    }

    void levelCleared(int slot, int16_t, LevelRule rule, int bySlot) override {
        for (auto& level : e_.levels) {
            if (level.slot != slot) continue;
            switch (rule) {
            case LevelRule::SexSpecific: level.clearedBy = "sex: the diagnosis fits only the other sex"; break;
            case LevelRule::PrincipalExclusion:
                level.clearedBy = "principal exclusion: its exclusion list holds the principal diagnosis";
                break;
            case LevelRule::HighestLevelExclusion:
                level.clearedBy = "highest-level exclusion: its exclusion list holds slot " + std::to_string(bySlot) +
                                  " (" + codeText_[bySlot] + "), at the highest level";
                break;
            }
        }
    }

    void levelsSettled(const int16_t* levelBySlot) override {
        for (auto& level : e_.levels) level.finalLevel = levelBySlot[level.slot];
    }

    void pcclComputed(double weightedSum, int16_t) override { e_.weightedLevelSum = weightedSum; }

    void splitRowChosen(int row) override {
        e_.splitRow = row;
        if (row < 0) return;
        const PcclSplitTable& splits = release_.tables.splits;
        e_.splitProfile = splits.splitProfile[static_cast<size_t>(row)];
        e_.splitCharacters.assign(&splits.splitCharacters[static_cast<size_t>(e_.splitProfile) * kSplitProfileWidth],
                                  kSplitProfileWidth);
    }

    // What the state holds once the record is grouped.
    void finish() {
        const ClaimState& s = state_;
        e_.effectiveDate = s.effectiveDateNumber;
        e_.ageYears = s.ageYears;
        e_.ageDays = s.ageDays;
        e_.sexDigit = s.sexDigit;
        e_.stayDays = s.stayDays;
        e_.statusCode = s.statusCode;
        e_.birthWeight = s.birthWeight;
        e_.ventilationHours = s.ventilationHours;

        const TableSet& tables = release_.tables;
        e_.decisionTable = kTableFileNames[static_cast<size_t>(kFileAdrg0 + s.activeDecisionVersion)];
        e_.levelTable = kTableFileNames[static_cast<size_t>(kFileCcl0 + (s.activeLevelTable - tables.levelTables.data()))];
        e_.exclusionTable =
            kTableFileNames[static_cast<size_t>(kFileCcedit0 + (s.activeExclusionTable - tables.exclusionTables.data()))];

        std::vector<uint16_t> raised(s.conditions.raisedConditions.begin(), s.conditions.raisedConditions.end());
        std::sort(raised.begin(), raised.end());
        for (uint16_t c : raised) {
            RaisedCondition condition;
            condition.condition = c;
            condition.derived = isDerivedCondition(c);
            condition.rule = derivedConditionRule(c);
            if (auto it = sources_.find(c); it != sources_.end()) condition.sources = it->second;
            e_.conditions.push_back(std::move(condition));
        }
        if (e_.refined) {
            e_.refinementSuffix = s.adrgSuffix;
            e_.refinedCode = entryText(tables.adrgCodes, s.adrgIndex).substr(0, 4) + s.adrgSuffix;
        }
    }

private:
    const Release& release_;
    const ClaimState& state_;
    const char* record_;
    Explanation& e_;
    std::string codeText_[kSlotCount];
    std::map<int, std::vector<ConditionSource>> sources_;
};

}  // namespace

GroupStatus Worker::explainLine(std::string_view line, Explanation& explanation) {
    // Filled apart and moved in at the end: `line` may lie in `explanation`,
    // its output explained once more.
    Explanation e;
    std::string out(groupedLength(line.data(), line.size()), '\0');
    TraceRecorder recorder(*release_, *state_, out.data(), e);
    // The recorder allocates as the steps report. Grouped without the
    // noexcept of groupLine, memory running out reaches the caller as
    // bad_alloc, and the worker is left without the recorder.
    struct Detach {
        ClaimState& state;
        ~Detach() { state.observer = nullptr; }
    } detach{*state_};
    state_->observer = &recorder;
    const int grouped = drg::groupLine(*state_, *release_, line.data(), line.size(), out.data());
    e.status = groupStatusOf(grouped);
    if (e.status == GroupStatus::Ok) readGroupResult(out.data(), &e.result);
    recorder.finish();
    out.resize(out.size() - lineEndLength(out.data(), out.size()));
    e.output = std::move(out);
    explanation = std::move(e);
    return explanation.status;
}

}  // namespace drg
