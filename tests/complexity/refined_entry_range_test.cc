// A refined code list may hold up to 65535 entries, more than a signed 16-bit
// entry number reaches: entries from 32768 on must still give their code and
// their split character, never a read outside the lists.
#include <gtest/gtest.h>

#include <cstdio>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "support/record_builder.h"
#include "support/table_builder.h"
#include "tables/table_loader.h"

namespace drg::testing {
namespace {

TEST(RefinedEntryRange, EntryBeyond32767GivesItsCodeAndSplit) {
    TableBuilder b;
    const int mdc = b.mdc("01 ");
    const int adrg = b.adrg("B010");
    b.conditionSlots(100, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.decisionRow({.range = 1, .mustSet = {100}, .mdc = mdc, .adrg = adrg});
    b.refinementRow("B010", 0, 120, 'A');
    TableSet tables = b.build();

    // 40001 refined codes with "B010A" only at entry 40000, which has a split row.
    constexpr uint16_t kEntries = 40001;
    tables.refinedCodes.text.bytes.clear();
    for (int i = 0; i < kEntries; ++i) {
        char text[6];
        std::snprintf(text, sizeof text, i == 40000 ? "B010A" : "X%04d", i % 10000);
        tables.refinedCodes.text.bytes.insert(tables.refinedCodes.text.bytes.end(), text, text + 5);
    }
    tables.refinedCodes.count = kEntries;
    auto& splits = tables.splits;
    splits.splitGroupCount = kEntries;
    splits.splitRowBegin.assign(kEntries, 0);
    splits.splitRowEnd.assign(kEntries, 0);
    splits.splitRowEnd[40000] = 1;
    splits.splitValidFrom = {0};
    splits.splitValidTo = {99991231};
    splits.splitProfile = {0};
    splits.splitCharacters = {'P', 'Q', 'R', 'S', 'T'};
    splits.splitRowCount = splits.splitProfileCount = 1;
    for (auto& table : tables.decisionTables) decisionRowFixup(table, tables.conditions.conditionCount);

    Release release;
    release.tables = std::move(tables);
    prepareRelease(release);
    ClaimState state;
    initClaimState(state, release);
    std::string record = RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0"}).text();
    ASSERT_EQ(groupRecord(state, release, record.data(), record.size()), 0);
    EXPECT_EQ(resultColumns(record), "01 B0100B010AP20130201");
}

}  // namespace
}  // namespace drg::testing
