#include "conditions/derived_conditions.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <cstdint>
#include <initializer_list>

#include "conditions/code_conditions.h"

namespace drg {
namespace {

int flagsSet(const ConditionFlags& f, std::initializer_list<int> conditions) {
    int n = 0;
    for (int c : conditions) n += f.flag[c];
    return n;
}

// The marked conditions that some procedure slot of kind 357 did not raise:
// a procedure slot raises 357 only where it marks it too.
uint16_t missingBeside357(const ConditionFlags& f) {
    constexpr uint16_t kind357 = slotMarkBit(357);
    uint16_t missing = 0;
    for (uint16_t marks : f.slotMarks) missing |= (marks & kind357) ? static_cast<uint16_t>(~marks) : uint16_t{0};
    return missing;
}

}  // namespace

void deriveConditions(ClaimState& state) {
    ConditionFlags& f = state.conditions;
    const int16_t weight = state.birthWeight;
    const int16_t hours = state.ventilationHours;
    const int16_t status = state.statusCode;
    auto hits = [&](int c) { return static_cast<int>(f.hits(c)); };
    const uint16_t missing = missingBeside357(f);
    auto procedureWithout = [&](int absent) { return (missing & slotMarkBit(absent)) != 0; };

    // Bit n - 782 for each of 782..823 whose rule holds; 853 is handled apart.
    auto rule = [](int n, bool holds) { return static_cast<uint64_t>(holds) << (n - 782); };
    uint64_t holds =
        rule(782, hits(602) + hits(603) >= 2) |
        rule(783, hits(621) >= 2) |
        rule(784, hits(387) >= 2) |
        rule(785, hits(398) >= 2) |
        rule(786, hits(403) >= 2) |
        rule(787, hits(408) >= 2) |
        // 388 and 390 are not part of this group.
        rule(788, flagsSet(f, {389, 391, 392, 393, 394, 395, 396, 397}) >= 2) |
        rule(789, flagsSet(f, {399, 400, 401, 402}) >= 2) |
        rule(790, flagsSet(f, {404, 405, 406, 407}) >= 2) |
        rule(791, flagsSet(f, {409, 410, 411, 412}) >= 2) |
        rule(792, weight >= 1000 && weight <= 1499) |
        rule(793, weight >= 1500 && weight <= 1999) |
        rule(794, weight >= 2000 && weight <= 2499) |
        rule(795, weight >= 750 && weight <= 999) |
        rule(796, weight < 1250) |
        rule(797, weight >= 1 && weight <= 749) |
        rule(798, weight >= 2500) |
        rule(799, state.ageDays > 27) |
        rule(800, state.ageYears > 0) |
        rule(801, flagsSet(f, {13, 428}) >= 1) |
        rule(802, state.stayDays < 3) |
        rule(803, state.stayDays < 5) |
        rule(804, state.stayDays == 1) |
        // 744 is not among the procedure tests.
        rule(805, procedureWithout(743)) |
        rule(806, procedureWithout(745)) |
        rule(807, procedureWithout(746)) |
        rule(808, procedureWithout(747)) |
        rule(809, procedureWithout(748)) |
        rule(810, flagsSet(f, {15, 39, 753}) >= 1) |
        rule(811, flagsSet(f, {17, 40, 755}) >= 1) |
        rule(812, flagsSet(f, {19, 41, 757}) >= 1) |
        rule(813, procedureWithout(759)) |
        rule(814, procedureWithout(358)) |
        rule(815, procedureWithout(359)) |
        rule(816, status == 2 || status == 3) |
        rule(817, status == 2 || status == 3 || status == 4) |
        rule(818, status == 4) |
        rule(819, state.sexDigit % 2 != 0) |
        rule(820, hours > 24) |
        rule(821, hours > 95) |
        rule(822, state.ageYears < 0) |
        rule(823, weight <= 0);
    const bool holds853 = hits(603) + hits(850) >= 2;

    for (; holds != 0; holds &= holds - 1) {
        const int n = 782 + std::countr_zero(holds);
        raiseCondition(f, n);
        if (state.observer) state.observer->derivedConditionRaised(n);
    }
    if (holds853) {
        raiseCondition(f, 853);
        if (state.observer) state.observer->derivedConditionRaised(853);
    }
}

const char* derivedConditionRule(int c) {
    // In the order of the rules above, 782..823, then 853.
    static constexpr const char* kRules[] = {
        "conditions 602 and 603 raised twice or more in all",
        "condition 621 raised twice or more",
        "condition 387 raised twice or more",
        "condition 398 raised twice or more",
        "condition 403 raised twice or more",
        "condition 408 raised twice or more",
        "two or more of conditions 389 and 391-397",
        "two or more of conditions 399-402",
        "two or more of conditions 404-407",
        "two or more of conditions 409-412",
        "birth weight 1000-1499 g",
        "birth weight 1500-1999 g",
        "birth weight 2000-2499 g",
        "birth weight 750-999 g",
        "birth weight below 1250 g (a blank weight counts as 0)",
        "birth weight 1-749 g",
        "birth weight 2500 g or more",
        "age over 27 days",
        "age one year or more",
        "condition 13 or 428",
        "stay under 3 days",
        "stay under 5 days",
        "stay of 1 day",
        "a procedure in slots 11-41 with condition 357 but not 743",
        "a procedure in slots 11-41 with condition 357 but not 745",
        "a procedure in slots 11-41 with condition 357 but not 746",
        "a procedure in slots 11-41 with condition 357 but not 747",
        "a procedure in slots 11-41 with condition 357 but not 748",
        "condition 15, 39 or 753",
        "condition 17, 40 or 755",
        "condition 19, 41 or 757",
        "a procedure in slots 11-41 with condition 357 but not 759",
        "a procedure in slots 11-41 with condition 357 but not 358",
        "a procedure in slots 11-41 with condition 357 but not 359",
        "discharge status 2 or 3",
        "discharge status 2, 3 or 4",
        "discharge status 4",
        "male: an odd century-and-sex digit",
        "ventilation over 24 hours",
        "ventilation over 95 hours",
        "age unknown (age in years below 0)",
        "no birth weight (0 or less)",
        "conditions 603 and 850 raised twice or more in all",
    };
    if (c >= 782 && c <= 823) return kRules[c - 782];
    if (c == 853) return kRules[823 - 782 + 1];
    return "";
}

bool readByDerivedRule(int c) {
    // Every condition named in the rules of deriveConditions.
    static constexpr int kRead[] = {13,  15,  17,  19,  39,  40,  41,  357, 358, 359, 387, 389, 391, 392, 393,
                                    394, 395, 396, 397, 398, 399, 400, 401, 402, 403, 404, 405, 406, 407, 408,
                                    409, 410, 411, 412, 428, 602, 603, 621, 743, 745, 746, 747, 748, 753, 755,
                                    757, 759, 850};
    return std::find(std::begin(kRead), std::end(kRead), c) != std::end(kRead);
}

}  // namespace drg
