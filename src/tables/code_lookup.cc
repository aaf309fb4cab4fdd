#include "tables/code_lookup.h"

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

int16_t lookupCode(const TableSet& tables, const char* slotText, int slot) {
    const bool diagnosis = slot <= kDiagnosisSlots;
    const TextArray& codes = diagnosis ? tables.diagnosisIndex.code : tables.procedureIndex.code;
    const std::vector<int16_t>& ids = diagnosis ? tables.diagnosisIndex.id : tables.procedureIndex.id;
    const int width = diagnosis ? kDiagnosisCodeWidth : kProcedureCodeWidth;
    uint32_t lo = 0;
    uint32_t hi = diagnosis ? tables.diagnosisIndex.count : tables.procedureIndex.count;
    for (uint32_t step = (hi - lo) / 2; step != 0; step = (hi - lo) / 2) {
        const uint32_t mid = lo + step;
        const int order = boundedCompare(slotText, codes.at(mid), width);
        if (order == 0) return ids[mid];
        if (order < 0)
            hi = mid;
        else
            lo = mid;
    }
    return 0;
}

}  // namespace drg
