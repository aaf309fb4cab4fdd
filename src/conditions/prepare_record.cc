#include "conditions/prepare_record.h"

#include <cstring>
#include <utility>

#include "conditions/code_conditions.h"
#include "conditions/derived_conditions.h"
#include "record/age.h"
#include "record/digits.h"
#include "record/record_layout.h"
#include "tables/code_lookup.h"
#include "tables/table_lookups.h"

namespace drg {
namespace {

int32_t digitField(const char* record, RecordField field) {
    return parseDigits(record + field.offset, field.width);
}

int16_t low16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(value))); }

constexpr char kBlankSlot[] = "      ";

void lookupSlots(ClaimState& state, const TableSet& tables, const char* record) {
    for (int s = 1; s <= kDiagnosisSlots; ++s) {
        const char* text = record + codeSlotField(s).offset;
        const bool blank = std::memcmp(text, kBlankSlot, kDiagnosisCodeWidth) == 0;
        state.codeIds[s] = blank ? 0 : lookupSlotCode(*state.lookups, tables, text, s);
        if (state.observer && !blank) state.observer->codeLookedUp(s, state.codeIds[s]);
    }
    for (int s = kDiagnosisSlots + 1; s <= kLastSlot; ++s) {
        const char* text = record + codeSlotField(s).offset;
        const bool blank = std::memcmp(text, kBlankSlot, kProcedureCodeWidth) == 0;
        state.codeIds[s] = blank ? 0 : lookupSlotCode(*state.lookups, tables, text, s);
        if (state.observer && !blank) state.observer->codeLookedUp(s, state.codeIds[s]);
    }
}

// The first occurrence of a diagnosis stays; later repeats count as empty.
void removeRepeatedDiagnoses(ClaimState& state) {
    for (int i = 1; i <= kDiagnosisSlots; ++i) {
        if (state.codeIds[i] == 0) continue;
        for (int j = i + 1; j <= kDiagnosisSlots; ++j)
            if (state.codeIds[j] == state.codeIds[i]) {
                state.codeIds[j] = 0;
                if (state.observer) state.observer->repeatDropped(j, i);
            }
    }
}

// A principal diagnosis whose dated asterisk partner stands in slot 2 trades
// places with it: only the ids move, the record's texts stay.
void exchangeDaggerAsterisk(ClaimState& state, const TableSet& tables) {
    const int16_t partner = state.codeIds[2];
    if (partner == 0) return;
    const DaggerAsteriskTable& pairs = tables.daggerAsterisk;
    const int16_t principal = state.codeIds[1];
    const int32_t d = state.effectiveDateNumber;
    for (int32_t k = pairs.pairBegin[principal]; k < pairs.pairEnd[principal]; ++k) {
        if (pairs.pairValidFrom[k] <= d && d <= pairs.pairValidTo[k] && pairs.pairPartner[k] == partner) {
            std::swap(state.codeIds[1], state.codeIds[2]);
            if (state.observer) state.observer->daggerAsteriskExchanged(k);
            return;
        }
    }
}

}  // namespace

void resetConditionFlags(ConditionFlags& f) {
    for (uint16_t c : f.raisedConditions) {
        f.flag[c] = 0;
        f.hitCount[c] = 0;
    }
    f.raisedConditions.clear();
    // Condition 0 is always set, so it never enters the list above.
    f.hitCount[0] = 0;
    f.flag[0] = 1;
    for (uint32_t cell : f.markedSlotCells) f.slotConditions[cell] = 0;
    f.markedSlotCells.clear();
    // derivedMark is the same for every record and is written again by the
    // derived rules, so it needs no clearing.
}

int prepareRecord(ClaimState& state, const TableSet& tables, char* record, size_t length) {
    state.effectiveDateNumber = digitField(record, kEffectiveDate);
    const Age age = computeAge(record + kBirthDate.offset, record + kEffectiveDate.offset,
                               record[kCenturySexDigit.offset]);
    state.ageYears = low16(age.years);
    state.ageDays = age.days;
    state.sexDigit = static_cast<int16_t>(static_cast<signed char>(record[kCenturySexDigit.offset]) - '0');
    state.statusCode = low16(digitField(record, kStatusDigit));
    state.stayDays = low16(digitField(record, kStayDaysText));
    state.birthWeight = low16(digitField(record, kBirthWeightText));
    state.ventilationHours = low16(digitField(record, kVentilationHoursText));

    resetConditionFlags(state.conditions);
    state.cclBySlot.fill(0);
    state.finalGroupCode.fill('\0');
    state.pccl = 0;
    state.mdcIndex = 0;
    state.adrgIndex = 0;
    state.refinedAdrgIndex = 0;
    state.adrgSuffix = '0';

    // Fields above are read as they came; codes are looked up upper-cased.
    upperCase(record, length);
    state.codeIds[0] = 0;
    lookupSlots(state, tables, record);
    removeRepeatedDiagnoses(state);
    exchangeDaggerAsterisk(state, tables);
    raiseCodeConditions(state, tables);
    deriveConditions(state);

    return state.conditionKindsAgree ? kPrepareOk : kPrepareLogicError;
}

}  // namespace drg
