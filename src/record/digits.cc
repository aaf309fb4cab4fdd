#include "record/digits.h"

namespace drg {

void writeDigits(int32_t value, char* text, int n) {
    for (int i = 1; i <= n; ++i) {
        text[n - i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

}  // namespace drg
