// The columns of a claim record and the result columns that the driver
// writes into it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "record/record_layout.h"
#include "support/record_builder.h"
#include "support/table_builder.h"
#include "tables/table_loader.h"

namespace drg {
namespace {

struct FieldCase {
    const char* name;
    RecordField field;
    int offset;
    int width;
};

TEST(RecordLayout, FieldsSitAtTheirColumns) {
    const std::vector<FieldCase> cases = {
        {"recordHead", kRecordHead, 0, 8},
        {"personId", kPersonId, 8, 13},
        {"birthDate", kBirthDate, 8, 6},
        {"centurySexDigit", kCenturySexDigit, 14, 1},
        {"effectiveDate", kEffectiveDate, 21, 8},
        {"stayDaysText", kStayDaysText, 29, 3},
        {"statusDigit", kStatusDigit, 32, 1},
        {"diagnosisSlots", kDiagnosisSlotsField, 33, 60},
        {"procedureSlots", kProcedureSlotsField, 93, 180},
        {"birthWeightText", kBirthWeightText, 273, 5},
        {"ventilationHoursText", kVentilationHoursText, 278, 5},
        {"mdcOut", kMdcOut, 283, 3},
        {"adrgOut", kAdrgOut, 286, 4},
        {"pcclOut", kPcclOut, 290, 1},
        {"drgOut", kDrgOut, 291, 6},
        {"versionDateOut", kVersionDateOut, 297, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.field.offset, c.offset) << c.name;
        EXPECT_EQ(c.field.width, c.width) << c.name;
    }
    EXPECT_EQ(kRecordLength, 305);
}

TEST(RecordLayout, FieldsTileTheRecordWithoutGapsOrOverlaps) {
    // recordHead, personId, effectiveDate, ..., versionDateOut: each starts where
    // the one before ends, and the last ends at column 305.
    const std::vector<RecordField> tiling = {kRecordHead,        kPersonId,        kEffectiveDate,
                                             kStayDaysText,      kStatusDigit,     kDiagnosisSlotsField,
                                             kProcedureSlotsField, kBirthWeightText, kVentilationHoursText,
                                             kMdcOut,            kAdrgOut,         kPcclOut,
                                             kDrgOut,            kVersionDateOut};
    int next = 0;
    for (const RecordField& f : tiling) {
        EXPECT_EQ(f.offset, next);
        next = f.offset + f.width;
    }
    EXPECT_EQ(next, kRecordLength);
    // birthDate and centurySexDigit lie inside personId.
    EXPECT_EQ(kBirthDate.offset, kPersonId.offset);
    EXPECT_EQ(kCenturySexDigit.offset, kBirthDate.offset + kBirthDate.width);
}

TEST(RecordLayout, CodeSlotsAreFortySixFixedPositions) {
    struct SlotCase {
        int slot, offset, width;
    };
    const std::vector<SlotCase> cases = {{1, 33, 6},   {2, 39, 6},   {5, 57, 6},   {10, 87, 6},  {11, 93, 5},
                                         {12, 98, 5},  {20, 138, 5}, {41, 243, 5}, {42, 248, 5}, {46, 268, 5}};
    for (const auto& c : cases) {
        EXPECT_EQ(codeSlotField(c.slot).offset, c.offset) << "slot " << c.slot;
        EXPECT_EQ(codeSlotField(c.slot).width, c.width) << "slot " << c.slot;
    }
    // Contiguous: each slot starts where the one before ends; slot 46 ends
    // where birthWeightText begins, which is never a code slot.
    int next = kDiagnosisSlotsField.offset;
    for (int s = 1; s <= 46; ++s) {
        EXPECT_EQ(codeSlotField(s).offset, next) << "slot " << s;
        EXPECT_EQ(codeSlotField(s).width, s <= 10 ? 6 : 5) << "slot " << s;
        next += codeSlotField(s).width;
    }
    EXPECT_EQ(next, kBirthWeightText.offset);
    EXPECT_EQ(codeSlotField(10).offset + 6, kProcedureSlotsField.offset);
}

TEST(WriteResultText, StopsAtNulAndFillsTheRestWithBlanks) {
    struct Case {
        std::string text;
        int width;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"01 ", 3, "01 "},
        {std::string("1\0X", 3), 3, "1  "},
        {std::string("\0AB", 3), 3, "   "},
        {"B010", 4, "B010"},
        {std::string("B0\0\0", 4), 4, "B0  "},
        {"B010AX", 6, "B010AX"},
        {std::string("B010\0X", 6), 6, "B010  "},
        {"TOOLONG", 3, "TOO"},
    };
    for (const auto& c : cases) {
        std::string column(8, '#');
        writeResultText(column.data(), c.text.data(), c.width);
        EXPECT_EQ(column, c.expected + std::string(8 - c.expected.size(), '#'));
        EXPECT_EQ(column.find('\0'), std::string::npos);
    }
}

// groupRecord on a record in memory: every result column, whatever the
// columns held before.
class GroupRecord : public ::testing::Test {
protected:
    void SetUp() override {
        testing::TableBuilder b;
        const int mdc = b.mdc(std::string("1\0X", 3));  // a NUL inside an MDC text
        const int adrg = b.adrg("B010");
        b.drg("B010A");
        b.conditionSlots(100, 1, 1);
        b.diagnosisCondition("G40.0", 100);
        b.decisionRow({.range = 1, .mustSet = {100}, .mustClear = {}, .mdc = mdc, .adrg = adrg, .dated = {}});
        b.refinementRow("B010", 0, 120, 'A');
        b.splitRow("B010A", "12345");
        release_.tables = b.build();
        // What the loader does to every decision table.
        for (auto& table : release_.tables.decisionTables)
            decisionRowFixup(table, release_.tables.conditions.conditionCount);
        prepareRelease(release_);
        initClaimState(state_, release_);
    }

    std::string group(std::string line) {
        EXPECT_EQ(groupRecord(state_, release_, line.data(), line.size()), 0);
        return line;
    }

    Release release_;
    ClaimState state_;
};

TEST_F(GroupRecord, WritesDefaultsWhenNothingGroups) {
    std::string line = testing::RecordBuilder().date("20120615").diagnoses({"X99"}).text();
    line.replace(283, 22, "ABCDEFGHIJKLMNOPQRSTUV");  // old results
    line += "tail\r\n";
    const std::string out = group(line);
    EXPECT_EQ(out.substr(283, 22), "0000000000000020130201");
    EXPECT_EQ(out.substr(305), "TAIL\r\n");  // upper-cased, line end kept
    EXPECT_EQ(out.size(), line.size());
}

TEST_F(GroupRecord, CopiesTableTextsUpToANulAndBlanksTheRest) {
    std::string line = testing::RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"g40.0"}).text();
    line.replace(283, 22, std::string(22, 'Z'));
    const std::string out = group(line);
    EXPECT_EQ(out.substr(283, 3), "1  ");
    EXPECT_EQ(out.substr(286, 4), "B010");
    EXPECT_EQ(out.substr(290, 1), "0");
    EXPECT_EQ(out.substr(291, 6), "B010A1");
    EXPECT_EQ(out.substr(297, 8), "20130201");
    EXPECT_EQ(out.substr(33, 6), "G40.0 ");
    EXPECT_EQ(out.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace drg
