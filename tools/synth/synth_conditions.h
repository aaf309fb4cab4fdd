#pragma once
// How the made-up classification numbers its 995 conditions. The numbers
// that the grouper's built-in rules read (357 and the procedure kinds, 373
// and 388, the counted groups, the derived 782..823 and 853) keep the roles
// those rules give them; the rest is laid out in blocks by what raises them.

#include "tables/table_set.h"

namespace drg::synth {

inline constexpr int kConditionCount = 995;

// Principal diagnosis groups, raised from slot 1 only; each belongs to one MDC.
inline constexpr int kFirstPrincipalGroup = 1;
inline constexpr int kLastPrincipalGroup = 340;

// Procedure kinds that the derived "OR procedure that is not X" rules read.
inline constexpr int kOrProcedure = 357;
inline constexpr int kMinorKinds[] = {358, 359, 743, 745, 746, 747, 748, 759};

// Raised only from slot 1: a principal that fits one sex.
inline constexpr int kFemaleOnly = 373;
inline constexpr int kMaleOnly = 388;

// Injury regions: hits of 387, 398, 403, 408 are counted, and two regions of
// one family raise 788..791.
inline constexpr int kInjuryCounted[] = {387, 398, 403, 408};
inline constexpr int kInjuryRegions[] = {389, 391, 392, 393, 394, 395, 396, 397, 399, 400,
                                         401, 402, 404, 405, 406, 407, 409, 410, 411, 412};
// Severe injury kinds whose hits are counted (782, 783, 853).
inline constexpr int kSevereInjury[] = {602, 603, 621, 850};

// Procedure groups: transplants and the like decided before any MDC, the
// surgical groups of the MDCs, the non-operating-room groups and the rest.
inline constexpr int kFirstTransplantGroup = 413;
inline constexpr int kLastTransplantGroup = 418;
inline constexpr int kFirstSurgicalGroup = 419;
inline constexpr int kLastSurgicalGroup = 600;
inline constexpr int kFirstNonOrGroup = 641;
inline constexpr int kLastNonOrGroup = 742;
inline constexpr int kFirstOtherProcedureGroup = 760;
inline constexpr int kLastOtherProcedureGroup = 781;
// Extra procedure kinds that the derived "at least one of" rules read.
inline constexpr int kProcedureMarkers[] = {428, 753, 755, 757};

// Derived conditions the decision rows use, by what the grouper derives.
inline constexpr int kTwoSevereInjuries = 782;
inline constexpr int kTwoInjuryRegions = 788;
inline constexpr int kBirthWeightBands[] = {797, 795, 792, 793, 794, 798};  // lightest first
inline constexpr int kOlderThan27Days = 799;
inline constexpr int kOlderThanOneYear = 800;
inline constexpr int kStayUnder3 = 802;
inline constexpr int kStayUnder5 = 803;
inline constexpr int kStayOneDay = 804;
inline constexpr int kOrNotMinor = 805;
inline constexpr int kDiedOrTransferred = 816;
inline constexpr int kLeftEarly = 817;
inline constexpr int kTransferred = 818;
inline constexpr int kMale = 819;
inline constexpr int kVentilatedOver24 = 820;
inline constexpr int kVentilatedOver95 = 821;
inline constexpr int kAgeUnknown = 822;
inline constexpr int kNoBirthWeight = 823;

// Diagnosis features raised from any diagnosis slot, and ones that only a
// secondary diagnosis raises; the decision rows read some of them.
bool isDiagnosisFeature(int condition);
bool isSecondaryFeature(int condition);

// "Tcond.idx": kinds that agree with the built-in derived conditions, and the
// slots each condition may be raised from.
ConditionTable makeConditionTable();

}  // namespace drg::synth
