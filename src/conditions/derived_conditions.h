#pragma once
// The 43 conditions that no single code gives: counts of hits, birth weight
// bands, age, stay, status, sex, ventilation and procedure combinations.

#include <array>

#include "conditions/claim_state.h"

namespace drg {

// 782..823 and 853, in increasing order.
inline constexpr std::array<int, 43> kDerivedConditions = {
    782, 783, 784, 785, 786, 787, 788, 789, 790, 791, 792, 793, 794, 795, 796,
    797, 798, 799, 800, 801, 802, 803, 804, 805, 806, 807, 808, 809, 810, 811,
    812, 813, 814, 815, 816, 817, 818, 819, 820, 821, 822, 823, 853};

bool isDerivedCondition(int c);

// Raises the derived conditions whose rules hold; never clears a flag.
void deriveConditions(ClaimState& state);

}  // namespace drg
