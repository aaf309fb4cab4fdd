#pragma once
// Whether bytes are well-formed UTF-8, as JSON texts must be.

#include <cstddef>
#include <string_view>

namespace drg::report {

// Where the first byte that is not part of a well-formed UTF-8 character
// sits (overlong forms, surrogates and code points beyond U+10FFFF are not),
// or npos when there is none.
inline size_t firstNonUtf8Byte(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return i;
        }
        if (i + length > text.size()) return i;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (k == 1 ? next < low || next > high : next < 0x80 || next > 0xBF) return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

}  // namespace drg::report
