#pragma once
// The kind byte of every condition in "Tcond.idx" must agree with the
// grouper's built-in rules: the 43 derived conditions are raised by rules
// ('l'), every other condition by codes ('t'). A release whose kinds disagree
// is refused record by record.

#include <array>
#include <string>

#include "tables/table_set.h"

namespace drg {

inline constexpr char kDerivedKind = 'l';
inline constexpr char kCodeKind = 't';

// 782..823 and 853, in increasing order.
inline constexpr std::array<int, 43> kDerivedConditions = {
    782, 783, 784, 785, 786, 787, 788, 789, 790, 791, 792, 793, 794, 795, 796,
    797, 798, 799, 800, 801, 802, 803, 804, 805, 806, 807, 808, 809, 810, 811,
    812, 813, 814, 815, 816, 817, 818, 819, 820, 821, 822, 823, 853};

constexpr bool isDerivedCondition(int c) { return (c >= 782 && c <= 823) || c == 853; }

// The kind byte that condition c must have.
constexpr char expectedConditionKind(int c) { return isDerivedCondition(c) ? kDerivedKind : kCodeKind; }

// The first condition 1..N-1 whose kind disagrees, or -1 when all agree.
int firstConditionKindMismatch(const ConditionTable& conditions);

// One line that names the condition file, the condition that disagrees and the rule.
std::string conditionKindMismatchText(const ConditionTable& conditions, int condition);

}  // namespace drg
