// The batch program on a small release built by the tests: whole records in,
// whole records out.
#include <gtest/gtest.h>

#include "e2e/driver_support.h"
#include "support/record_builder.h"
#include "support/table_builder.h"
#include "support/test_files.h"

namespace drg::testing {
namespace {

TEST(BatchGrouping, GroupsRecordsAndWritesEveryResultColumn) {
    TempDir dir;
    groupingRelease().write(dir.path());  // G40.0 groups into 01/B010; I10 is level 3 there
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
