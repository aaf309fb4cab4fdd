#include "tables/condition_kinds.h"

#include <cstdio>

namespace drg {

int firstConditionKindMismatch(const ConditionTable& conditions) {
    for (int c = 1; c < conditions.conditionCount; ++c)
        if (conditions.conditionKind[static_cast<size_t>(c)] != expectedConditionKind(c)) return c;
    return -1;
}

std::string conditionKindMismatchText(const ConditionTable& conditions, int condition) {
    const unsigned char kind = static_cast<unsigned char>(conditions.conditionKind[static_cast<size_t>(condition)]);
    char shown[8];
    if (kind >= 0x20 && kind < 0x7f)
        std::snprintf(shown, sizeof shown, "'%c'", kind);
    else
        std::snprintf(shown, sizeof shown, "\\x%02x", kind);
    return "Tcond.idx: condition " + std::to_string(condition) + " has kind " + shown +
           ": 782-823 and 853 must be 'l', all others 't'; the grouper stops at the first record";
}

}  // namespace drg
