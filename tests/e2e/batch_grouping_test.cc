// The batch program on a small release built by the tests: whole records in,
// whole records out.
#include <gtest/gtest.h>

#include "support/record_builder.h"
#include "support/table_builder.h"
#include "support/test_files.h"

namespace drg::testing {
namespace {

// A release with one MDC reached by principal diagnosis condition 100:
// ADRG B010 split by age, and a PCCL split profile for adults.
TableBuilder smallRelease() {
    TableBuilder b;
    const int mdc = b.mdc("01 ");
    const int b01 = b.adrg("B010");
    b.drg("B010A");
    b.drg("B010B");
    b.conditionSlots(100, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.decisionRow({.range = 1, .mustSet = {100}, .mustClear = {}, .mdc = mdc, .adrg = b01, .dated = {}});
    b.refinementRow("B010", 0, 17, 'A');
    b.refinementRow("B010", 18, 120, 'B');
    b.levelRow("I10", {{"B010", '3'}});
    b.splitRow("B010B", "ZYXWV");
    b.splitRow("B010A", "01234");
    return b;
}

TEST(BatchGrouping, GroupsRecordsAndWritesEveryResultColumn) {
    TempDir dir;
    smallRelease().write(dir.path());
    const std::string adult =
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).line();
    const std::string child =
        RecordBuilder().birthDate("100615").sex('3').date("20120615").diagnoses({"g40.0"}).line();
    const std::string unknown = RecordBuilder().date("20120615").diagnoses({"X99"}).line();
    writeFile(dir.file("valtic.in"), adult + child + unknown);

    const ProcessResult run = runBatchProgram(dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    const std::string out = readFile(dir.file("valtic.out"));
    ASSERT_EQ(out.size(), 3 * 306u);
    EXPECT_EQ(resultColumns(out.substr(0, 306)), "01 B0103B010BW20130201");
    EXPECT_EQ(resultColumns(out.substr(306, 306)), "01 B0100B010A020130201");
    EXPECT_EQ(out.substr(306 + 33, 6), "G40.0 ");  // upper-cased
    EXPECT_EQ(resultColumns(out.substr(612, 306)), "0000000000000020130201");
}

}  // namespace
}  // namespace drg::testing
