#include "tables/table_header.h"

#include <cstdio>
#include <cstring>

namespace drg {

int64_t parseCountField(const char* field) {
    int i = 0;
    auto at = [&](int k) { return k < kCountFieldWidth ? field[k] : '\0'; };
    while (at(i) == ' ' || at(i) == '\t' || at(i) == '\n' || at(i) == '\v' || at(i) == '\f' ||
           at(i) == '\r')
        ++i;
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') {
        negative = at(i) == '-';
        ++i;
    }
    int64_t value = 0;  // ten characters hold at most ten digits: no overflow
    while (at(i) >= '0' && at(i) <= '9') {
        value = value * 10 + (at(i) - '0');
        ++i;
    }
    return negative ? -value : value;
}

void formatCountField(int64_t value, char* field) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    std::memset(field, ' ', kCountFieldWidth);
    std::memcpy(field, text, static_cast<size_t>(length < kCountFieldWidth ? length : kCountFieldWidth));
}

}  // namespace drg
