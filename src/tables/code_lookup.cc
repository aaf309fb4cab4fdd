#include "tables/code_lookup.h"

#include <cstring>

namespace drg {

int boundedCompare(const char* a, const char* b, int n) {
    for (int i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

namespace {

// The search itself: step = (hi - lo) / 2 until it is 0, position 0 never compared.
template <int Width, class Compare>
int16_t searchIndex(const TextArray& codes, const std::vector<int16_t>& ids, uint32_t count, Compare&& compare) {
    uint32_t lo = 0, hi = count;
    for (uint32_t step = (hi - lo) / 2; step != 0; step = (hi - lo) / 2) {
        const uint32_t mid = lo + step;
        const int order = compare(codes.at(mid));
        if (order == 0) return ids[mid];
        if (order < 0)
            hi = mid;
        else
            lo = mid;
    }
    return 0;
}

template <int Width>
int16_t searchCodes(const TextArray& codes, const std::vector<int16_t>& ids, uint32_t count, const char* text) {
    // A slot text without NUL compares with any entry exactly as whole
    // numbers do: an entry's NUL, if any, already differs from the text.
    if (std::memchr(text, '\0', Width) == nullptr) {
        const uint64_t key = bigEndianText<Width>(text);
        return searchIndex<Width>(codes, ids, count, [key](const char* entry) {
            const uint64_t other = bigEndianText<Width>(entry);
            return key < other ? -1 : (key > other ? 1 : 0);
        });
    }
    return searchIndex<Width>(codes, ids, count,
                              [text](const char* entry) { return boundedCompare(text, entry, Width); });
}

}  // namespace

int16_t lookupCode(const TableSet& tables, const char* slotText, int slot) {
    if (slot <= kDiagnosisSlots)
        return searchCodes<kDiagnosisCodeWidth>(tables.diagnosisIndex.code, tables.diagnosisIndex.id,
                                                tables.diagnosisIndex.count, slotText);
    return searchCodes<kProcedureCodeWidth>(tables.procedureIndex.code, tables.procedureIndex.id,
                                            tables.procedureIndex.count, slotText);
}

}  // namespace drg
