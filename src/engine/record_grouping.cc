#include "engine/record_grouping.h"

#include <cstring>

#include "complexity/cc_exclusion.h"
#include "complexity/complexity.h"
#include "complexity/complication_levels.h"
#include "conditions/prepare_record.h"
#include "record/digits.h"
#include "record/record_layout.h"
#include "grouping/decision_tables.h"
#include "grouping/refinement.h"

namespace drg {

void writeResultText(char* column, const char* text, int width) {
    int i = 0;
    for (; i < width && text[i] != '\0'; ++i) column[i] = text[i];
    for (; i < width; ++i) column[i] = ' ';
}

int groupRecord(ClaimState& state, const TableSet& tables, char* record, size_t length) {
    const char* effectiveDate = record + kEffectiveDate.offset;
    selectDecisionTable(state, tables, effectiveDate);
    selectExclusionTable(state, tables, effectiveDate);
    selectLevelTable(state, tables, effectiveDate);

    if (prepareRecord(state, tables, record, length) != 0) return -1;
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
    writeDigits(kVersionDate, record + kVersionDateOut.offset, kVersionDateOut.width);
    return 0;
}

}  // namespace drg
