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

std::string countFieldReading(const char* field, int64_t held) {
    int i = 0;
    while (i < kCountFieldWidth && field[i] == ' ') ++i;
    if (i < kCountFieldWidth && (field[i] == '+' || field[i] == '-')) ++i;
    const int digitsFrom = i;
    while (i < kCountFieldWidth && field[i] >= '0' && field[i] <= '9') ++i;
    const bool oneNumber = i > digitsFrom;
    while (i < kCountFieldWidth && field[i] == ' ') ++i;
    const bool allBlank = digitsFrom == kCountFieldWidth;
    if ((allBlank || (oneNumber && i == kCountFieldWidth)) && parseCountField(field) == held) return "";
    int end = kCountFieldWidth;
    while (end > 0 && field[end - 1] == ' ') --end;
    std::string shown = "'";
    for (int k = 0; k < end; ++k) {
        const auto c = static_cast<unsigned char>(field[k]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        }
    }
    return shown + "' read as " + std::to_string(held);
}

void formatCountField(int64_t value, char* field) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    std::memset(field, ' ', kCountFieldWidth);
    std::memcpy(field, text, static_cast<size_t>(length < kCountFieldWidth ? length : kCountFieldWidth));
}

}  // namespace drg
