#pragma once
// What the grouping steps tell whoever wants to know how a result came
// about. A worker attaches an observer to its claim state only when a result
// is to be explained; the steps report what they do as they do it, so an
// explanation never repeats a rule of its own. With no observer attached each
// report is one untaken branch.

#include <cstdint>

namespace drg {

enum class DecisionPass { Mdc, Adrg };

enum class LevelRule {
    SexSpecific,            // the diagnosis fits only the other sex
    PrincipalExclusion,     // its list holds the principal diagnosis
    HighestLevelExclusion,  // the list of a diagnosis at the highest level holds it
};

class GroupingObserver {
public:
    virtual ~GroupingObserver() = default;

    // A non-blank code slot and the code id its text gave (0: not found).
    virtual void codeLookedUp(int /*slot*/, int16_t /*codeId*/) {}
    // A diagnosis that repeats an earlier slot's and counts as empty.
    virtual void repeatDropped(int /*slot*/, int /*earlierSlot*/) {}
    // The principal diagnosis traded places with its asterisk partner in
    // slot 2, by the dated pair at `pairEntry` of the dagger/asterisk table.
    virtual void daggerAsteriskExchanged(int32_t /*pairEntry*/) {}
    // A dated code-condition entry that applies to the code of `slot`.
    virtual void codeConditionRaised(int /*slot*/, int32_t /*entry*/, int /*condition*/) {}
    // A built-in derived condition whose rule holds.
    virtual void derivedConditionRaised(int /*condition*/) {}
    // A pass over the decision rows [begin, end) of `range`; `row` is the
    // first that matched, or -1.
    virtual void decisionPassDone(DecisionPass /*pass*/, int /*range*/, int /*begin*/, int /*end*/, int /*row*/) {}
    // The refinement row that gave the suffix (-1: none fitted), and the entry
    // of the refined code found for the ADRG and suffix (0: none).
    virtual void refinementDone(int /*row*/, int /*refinedEntry*/) {}
    // The level of the diagnosis in `slot` and the dated level row that gave
    // it (-1: no row, level 0).
    virtual void levelFound(int /*slot*/, int16_t /*level*/, int /*row*/) {}
    // A level cancelled by a rule; `bySlot` is the slot whose diagnosis the
    // cancelled one's exclusion list holds (1 for the principal, 0 for the sex rule).
    virtual void levelCleared(int /*slot*/, int16_t /*level*/, LevelRule /*rule*/, int /*bySlot*/) {}
    // The levels of slots 0..10 once every rule has been applied.
    virtual void levelsSettled(const int16_t* /*levelBySlot*/) {}
    // The weighted sum of the sorted levels and the PCCL it gives.
    virtual void pcclComputed(double /*weightedSum*/, int16_t /*pccl*/) {}
    // The split row that chose the final character (-1: none was valid).
    virtual void splitRowChosen(int /*row*/) {}
};

}  // namespace drg
