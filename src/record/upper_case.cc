#include "record/upper_case.h"

#include <cstdint>
#include <cstring>

namespace drg {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Eight bytes at once: a lane's high bit ends up set exactly when the lane
// holds a byte from 'a' to 'z'; that bit, moved down to 0x20, clears the
// lower-case bit. Lanes never carry into each other because every sum stays
// below 0x100 per lane (the high bit of each lane is masked off first).
uint64_t upperCaseWord(uint64_t word) {
    const uint64_t low7 = word & ~kHighBits;
    const uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;
    const uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * kOnes;
    const uint64_t lower = atLeastA & ~aboveZ & ~word & kHighBits;
    return word ^ (lower >> 2);
}

void upperCaseBytes(char* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - ('a' - 'A'));
}

// Sixteen bytes at once where the compiler has vectors of them. Taken as
// signed, bytes above 127 are negative and so never in 'a'..'z', and signed
// lane comparisons are what the vector units offer.
using Bytes16 = signed char __attribute__((vector_size(16)));

Bytes16 upperCaseBytes16(Bytes16 bytes) {
    const auto lower = (bytes > 'a' - 1) & (bytes < 'z' + 1);  // all ones in each lower-case lane
    return bytes ^ (reinterpret_cast<Bytes16>(lower) & 0x20);
}

}  // namespace

void upperCase(char* text, size_t length) {
    size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        Bytes16 bytes;
        std::memcpy(&bytes, text + i, 16);
        bytes = upperCaseBytes16(bytes);
        std::memcpy(text + i, &bytes, 16);
    }
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, text + i, 8);
        word = upperCaseWord(word);
        std::memcpy(text + i, &word, 8);
    }
    upperCaseBytes(text + i, length - i);
}

}  // namespace drg
