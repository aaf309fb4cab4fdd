#include "conditions/derived_conditions.h"

#include <initializer_list>

#include "conditions/code_conditions.h"

namespace drg {
namespace {

int flagsSet(const ConditionFlags& f, std::initializer_list<int> conditions) {
    int n = 0;
    for (int c : conditions) n += f.flag[c];
    return n;
}

// A procedure slot 11..41 whose row holds condition 357 but not `absent`.
// A row is only ever marked together with the flag, so without flag 357 no
// row can hold it and the rows need no look.
bool procedureWithout(const ClaimState& state, int absent) {
    const ConditionFlags& f = state.conditions;
    if (!f.flag[357]) return false;
    for (int s = kFirstProcedureSlot; s <= kLastMarkedProcedureSlot; ++s)
        if (state.codeIds[s] != 0 && f.slotCondition(s, 357) && !f.slotCondition(s, absent)) return true;
    return false;
}

}  // namespace

void deriveConditions(ClaimState& state) {
    ConditionFlags& f = state.conditions;
    const int16_t weight = state.birthWeight;
    const int16_t hours = state.ventilationHours;
    const int16_t status = state.statusCode;
    auto hits = [&](int c) { return static_cast<int>(f.hits(c)); };

    // Indexed by condition number minus 782; 853 is handled apart.
    bool holds[42] = {
        /*782*/ hits(602) + hits(603) >= 2,
        /*783*/ hits(621) >= 2,
        /*784*/ hits(387) >= 2,
        /*785*/ hits(398) >= 2,
        /*786*/ hits(403) >= 2,
        /*787*/ hits(408) >= 2,
        // 388 and 390 are not part of this group.
        /*788*/ flagsSet(f, {389, 391, 392, 393, 394, 395, 396, 397}) >= 2,
        /*789*/ flagsSet(f, {399, 400, 401, 402}) >= 2,
        /*790*/ flagsSet(f, {404, 405, 406, 407}) >= 2,
        /*791*/ flagsSet(f, {409, 410, 411, 412}) >= 2,
        /*792*/ weight >= 1000 && weight <= 1499,
        /*793*/ weight >= 1500 && weight <= 1999,
        /*794*/ weight >= 2000 && weight <= 2499,
        /*795*/ weight >= 750 && weight <= 999,
        /*796*/ weight < 1250,
        /*797*/ weight >= 1 && weight <= 749,
        /*798*/ weight >= 2500,
        /*799*/ state.ageDays > 27,
        /*800*/ state.ageYears > 0,
        /*801*/ flagsSet(f, {13, 428}) >= 1,
        /*802*/ state.stayDays < 3,
        /*803*/ state.stayDays < 5,
        /*804*/ state.stayDays == 1,
        // 744 is not among the procedure tests.
        /*805*/ procedureWithout(state, 743),
        /*806*/ procedureWithout(state, 745),
        /*807*/ procedureWithout(state, 746),
        /*808*/ procedureWithout(state, 747),
        /*809*/ procedureWithout(state, 748),
        /*810*/ flagsSet(f, {15, 39, 753}) >= 1,
        /*811*/ flagsSet(f, {17, 40, 755}) >= 1,
        /*812*/ flagsSet(f, {19, 41, 757}) >= 1,
        /*813*/ procedureWithout(state, 759),
        /*814*/ procedureWithout(state, 358),
        /*815*/ procedureWithout(state, 359),
        /*816*/ status == 2 || status == 3,
        /*817*/ status == 2 || status == 3 || status == 4,
        /*818*/ status == 4,
        /*819*/ state.sexDigit % 2 != 0,
        /*820*/ hours > 24,
        /*821*/ hours > 95,
        /*822*/ state.ageYears < 0,
        /*823*/ weight <= 0,
    };
    const bool holds853 = hits(603) + hits(850) >= 2;

    for (int n = 782; n <= 823; ++n) {
        f.derivedMark[n] = 1;
        if (holds[n - 782]) raiseCondition(f, n);
    }
    f.derivedMark[853] = 1;
    if (holds853) raiseCondition(f, 853);
}

}  // namespace drg
