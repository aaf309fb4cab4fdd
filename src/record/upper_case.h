#pragma once
// Upper-casing of record bytes: 'a'..'z' become 'A'..'Z', every other byte
// (digits, blanks, NUL, bytes above 127) stays as it is.

#include <cstddef>

namespace drg {

void upperCase(char* text, size_t length);

}  // namespace drg
