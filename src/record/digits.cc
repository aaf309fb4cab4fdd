#include "record/digits.h"

namespace drg {

int32_t parseDigits(const char* text, int n) {
    int32_t value = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == ' ') continue;
        if (c < '0' || c > '9') return -1;
        value = static_cast<int32_t>(static_cast<uint32_t>(value) * 10u + static_cast<uint32_t>(c - '0'));
    }
    return value;
}

void writeDigits(int32_t value, char* text, int n) {
    for (int i = 1; i <= n; ++i) {
        text[n - i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

}  // namespace drg
