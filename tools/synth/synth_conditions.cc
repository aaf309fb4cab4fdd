#include "synth/synth_conditions.h"

#include "record/record_layout.h"
#include "tables/condition_kinds.h"

namespace drg::synth {
namespace {

bool isProcedureCondition(int c) {
    return c == kOrProcedure || c == 358 || c == 359 || (c >= kFirstTransplantGroup && c <= kLastSurgicalGroup) ||
           (c >= kFirstNonOrGroup && c <= kLastOtherProcedureGroup);
}

}  // namespace

bool isDiagnosisFeature(int c) {
    return (c >= 341 && c <= 356) || (c >= 360 && c <= 412 && c != kFemaleOnly && c != kMaleOnly) ||
           (c >= 601 && c <= 640) || (c >= 824 && c <= 852);
}

bool isSecondaryFeature(int c) { return c >= 854 && c < kConditionCount; }

ConditionTable makeConditionTable() {
    ConditionTable t;
    t.conditionCount = kConditionCount;
    t.conditionKind.resize(kConditionCount);
    t.firstSlot.resize(kConditionCount);
    t.lastSlot.resize(kConditionCount);
    for (int c = 0; c < kConditionCount; ++c) {
        const size_t i = static_cast<size_t>(c);
        t.conditionKind[i] = expectedConditionKind(c);
        int first = 0, last = 0;  // derived conditions and 0: no code raises them
        if ((c >= kFirstPrincipalGroup && c <= kLastPrincipalGroup) || c == kFemaleOnly || c == kMaleOnly) {
            first = last = 1;
        } else if (isProcedureCondition(c)) {
            first = kFirstProcedureSlot;
            last = kLastSlot;
        } else if (isDiagnosisFeature(c)) {
            first = 1;
            last = kDiagnosisSlots;
        } else if (isSecondaryFeature(c)) {
            first = 2;
            last = kDiagnosisSlots;
        }
        t.firstSlot[i] = static_cast<int16_t>(first);
        t.lastSlot[i] = static_cast<int16_t>(last);
    }
    return t;
}

}  // namespace drg::synth
