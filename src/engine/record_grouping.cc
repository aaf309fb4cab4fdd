#include "engine/record_grouping.h"

#include <array>
#include <cstring>

#include "complexity/cc_exclusion.h"
#include "complexity/complexity.h"
#include "complexity/complication_levels.h"
#include "conditions/prepare_record.h"
#include "grouping/decision_tables.h"
#include "grouping/refinement.h"
#include "record/digits.h"
#include "record/record_layout.h"

namespace drg {

void writeResultText(char* column, const char* text, int width) {
    int i = 0;
    for (; i < width && text[i] != '\0'; ++i) column[i] = text[i];
    for (; i < width; ++i) column[i] = ' ';
}

int groupRecord(ClaimState& state, const Release& release, char* record, size_t length) {
    const TableSet& tables = release.tables;
    const char* effectiveDate = record + kEffectiveDate.offset;
    selectDecisionTable(state, tables, effectiveDate);
    selectExclusionTable(state, tables, effectiveDate);
    selectLevelTable(state, tables, effectiveDate);

    if (prepareRecord(state, tables, record, length) != kPrepareOk) return kGroupLogicError;
    prefetchLevelRangesAndExclusionBounds(state);
    assignMdc(state);
    if (state.mdcIndex != 0) assignAdrg(state);
    if (state.adrgIndex != 0) {
        refineAdrg(state, tables);
        computeComplexity(state, tables);
    }

    char* mdc = record + kMdcOut.offset;
    char* adrg = record + kAdrgOut.offset;
    char* drg = record + kDrgOut.offset;
    if (state.mdcIndex != 0)
        writeResultText(mdc, tables.mdcCodes.text.at(static_cast<uint32_t>(state.mdcIndex)), kMdcOut.width);
    else
        std::memcpy(mdc, "000", 3);
    if (state.adrgIndex != 0)
        writeResultText(adrg, tables.adrgCodes.text.at(static_cast<uint32_t>(state.adrgIndex)), kAdrgOut.width);
    else
        std::memcpy(adrg, "0000", 4);
    record[kPcclOut.offset] = static_cast<char>('0' + state.pccl);
    if (state.refinedAdrgIndex != 0)
        writeResultText(drg, state.finalGroupCode.data(), kDrgOut.width);
    else
        std::memcpy(drg, "000000", 6);
    static const std::array<char, kVersionDateOut.width> stamp = [] {
        std::array<char, kVersionDateOut.width> text;
        writeDigits(kVersionDate, text.data(), kVersionDateOut.width);
        return text;
    }();
    std::memcpy(record + kVersionDateOut.offset, stamp.data(), stamp.size());
    return kGroupOk;
}

size_t lineEndLength(const char* line, size_t length) {
    if (length == 0 || line[length - 1] != '\n') return 0;
    return length > 1 && line[length - 2] == '\r' ? 2 : 1;
}

size_t groupedLineLength(const char* line, size_t length) {
    const size_t endLength = lineEndLength(line, length);
    const size_t textLength = length - endLength;
    return (textLength < kRecordLength ? kRecordLength : textLength) + endLength;
}

int groupLine(ClaimState& state, const Release& release, const char* line, size_t length, char* out) {
    const size_t endLength = lineEndLength(line, length);
    const size_t textLength = length - endLength;
    const size_t recordLength = textLength < kRecordLength ? kRecordLength : textLength;
    // The output may be the line's own buffer (grouping in place): the line
    // end is kept before the padding covers it, and the text moves as over
    // itself. An empty line may come without any buffer at all.
    char end[2];
    if (endLength > 0) std::memcpy(end, line + textLength, endLength);
    if (textLength > 0) std::memmove(out, line, textLength);
    std::memset(out + textLength, ' ', recordLength - textLength);
    if (endLength > 0) std::memcpy(out + recordLength, end, endLength);
    return groupRecord(state, release, out, recordLength);
}

}  // namespace drg
