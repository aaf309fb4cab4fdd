// The batch program's run as a whole: progress lines, read and write errors,
// and table coverage that is tolerated while grouping.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/driver_support.h"
#include "support/record_builder.h"
#include "tables/table_writer.h"

namespace drg::testing {
namespace {

class DriverRun : public ::testing::Test {
protected:
    void SetUp() override {
        writeEmptyRelease(dir_.path());
        record_ = RecordBuilder().date("20120615").diagnoses({"a00"}).line();
    }
    TempDir dir_;
    std::string record_;
};

TEST_F(DriverRun, NineThousandNineHundredNinetyNineRecordsPrintNoProgressLine) {
    writeRepeated(dir_.file("valtic.in"), record_, 9999);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(readFile(dir_.file("valtic.out")).size(), 9999 * record_.size());
}

TEST_F(DriverRun, AnOutputPipeWhoseReaderGoesAwayIsAWriteError) {
    writeRepeated(dir_.file("valtic.in"), record_, 20000);  // far more than a pipe holds
    const ProcessResult run = runProgram(
        "/bin/bash", dir_.path(), {"-c", "mkfifo valtic.out && (head -c 1 valtic.out >/dev/null &) && " DRG_BATCH_PATH});
    EXPECT_EQ(run.out, "file out write error\n");
    EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(DriverRun, TenThousandRecordsPrintExactlyOneProgressLine) {
    writeRepeated(dir_.file("valtic.in"), record_, 10000);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "record_count = [10000]\n");
    EXPECT_EQ(run.exitStatus, 1);
    const std::string out = readFile(dir_.file("valtic.out"));
    EXPECT_EQ(out, ungroupedOutput(std::vector<std::string>(10000, record_)));
}

TEST_F(DriverRun, TwentyThousandRecordsPrintTwoProgressLines) {
    writeRepeated(dir_.file("valtic.in"), record_, 20001);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "record_count = [10000]\nrecord_count = [20000]\n");
    EXPECT_EQ(run.exitStatus, 1);
}

TEST_F(DriverRun, RecordsAreCountedByLinesWhateverTheirLength) {
    // 10000 empty lines, the last without its line end: 10000 records.
    std::string input(9999, '\n');
    input += "last";
    writeFile(dir_.file("valtic.in"), input);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "record_count = [10000]\n");
    EXPECT_EQ(readFile(dir_.file("valtic.out")).size(), 9999 * 306u + 305u);
}

TEST_F(DriverRun, AnInputThatCannotBeReadIsAReadError) {
    std::filesystem::create_directory(dir_.file("valtic.in"));
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file in read error\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(fileExists(dir_.file("valtic.out")));
    EXPECT_EQ(readFile(dir_.file("valtic.out")), "");
}

class DriverFullDisk : public DriverRun {
protected:
    void SetUp() override {
        DriverRun::SetUp();
        if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
        std::filesystem::create_symlink("/dev/full", dir_.file("valtic.out"));
    }
};

TEST_F(DriverFullDisk, OneRecordThatCannotBeWrittenIsAWriteError) {
    writeFile(dir_.file("valtic.in"), record_);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file out write error\n");
    EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(DriverFullDisk, ManyRecordsThatCannotBeWrittenGiveOneWriteError) {
    writeRepeated(dir_.file("valtic.in"), record_, 12000);  // more than one buffer of output
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.exitStatus, 0);
    // The run may stop at the first failed write; whatever progress it made,
    // the write error is the last line and appears once.
    const std::string tail = "file out write error\n";
    ASSERT_GE(run.out.size(), tail.size());
    EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
    EXPECT_EQ(run.out.find(tail), run.out.size() - tail.size());
}

TEST_F(DriverFullDisk, ALongLineThatCannotBeWrittenIsAWriteError) {
    writeFile(dir_.file("valtic.in"), std::string(3 << 20, 'x') + "\n" + record_);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file out write error\n");
    EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(DriverFullDisk, NothingToWriteIsNoWriteError) {
    writeFile(dir_.file("valtic.in"), "");
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitStatus, 1);
}

// Coverage that the loader does not count-check is tolerated while grouping:
// a range index, diagnosis id or ADRG column beyond a table's own count finds
// nothing there.
TEST(DriverCoverage, TablesShorterThanTheirIndicesGroupWithoutReadingOutside) {
    TableBuilder b;
    b.diagnosis("G40.0");
    b.diagnosis("G41.0");
    b.diagnosis("I10");  // id 3
    const int mdc1 = b.mdc("01 ");
    const int mdc2 = b.mdc("02 ");
    const int b010 = b.adrg("B010");
    const int b020 = b.adrg("B020");
    b.drg("B010A");
    b.drg("B020A");
    b.conditionSlots(100, 1, 1);
    b.conditionSlots(101, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.diagnosisCondition("G41.0", 101);
    b.decisionRow({.range = 1, .mustSet = {100}, .mustClear = {}, .mdc = mdc2, .adrg = b010, .dated = {}});
    b.decisionRow({.range = 1, .mustSet = {101}, .mustClear = {}, .mdc = mdc1, .adrg = b010, .dated = {}});
    b.decisionRow({.range = 2, .mustSet = {100}, .mustClear = {}, .mdc = 0, .adrg = b020, .dated = {}});
    b.refinementRow("B010", 0, 120, 'A');
    b.refinementRow("B020", 0, 120, 'A');
    b.levelRow("I10", {{"B010", '3'}, {"B020", '3'}});
    b.exclusions("I10", {"G41.0"});
    b.splitRow("B010A", "01234");
    b.splitRow("B020A", "01234");

    auto record = [](const char* principal, const char* date) {
        return RecordBuilder().birthDate("500615").sex('1').date(date).diagnoses({principal, "I10"}).line();
    };
    const std::vector<std::string> input = {
        record("G40.0", "20040101"),  // decision "Tadrg", levels "Tccl", exclusions "Tccedit"
        record("G40.0", "20100101"),  // decision "Tadrg3", levels "Tccl1", exclusions "Tccedit1"
        record("G41.0", "20100101"),
        record("G41.0", "20040101"),
    };

    auto runWith = [&](const TableSet& t) {
        TempDir dir;
        writeTableFiles(t, dir.path());
        writeFile(dir.file("valtic.in"), joined(input));
        const ProcessResult run = runBatchProgram(dir.path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out, "");
        std::vector<std::string> results;
        const std::string out = readFile(dir.file("valtic.out"));
        for (size_t i = 0; i + 306 <= out.size(); i += 306) results.push_back(resultColumns(out.substr(i, 306)));
        return results;
    };

    // The consistent release, for comparison.
    const TableSet full = b.build();
    EXPECT_EQ(runWith(full), (std::vector<std::string>{"02 B0203B020A320130201", "02 B0203B020A320130201",
                                                       "01 B0100B010A020130201", "01 B0100B010A020130201"}));

    TableSet cut = full;
    cut.decisionTables[0].entryCount = 2;          // no range 2: MDC 2 finds no ADRG row of its own
    cut.levelTables[0].cclDiagnosisCount = 3;      // I10 (id 3) has no level rows
    cut.levelTables[1].cclColumnCount = 2;         // ADRG 2 has no column
    cut.exclusionTables[0].exclusionDiagnosisCount = 3;  // I10 has no exclusion list
    cut.exclusionTables[1].exclusionDiagnosisCount = 0;
    EXPECT_EQ(runWith(cut), (std::vector<std::string>{"02 B0100B010A020130201", "02 B0200B020A020130201",
                                                      "01 B0103B010A320130201", "01 B0100B010A020130201"}));
}

}  // namespace
}  // namespace drg::testing
