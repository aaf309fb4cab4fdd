// The batch program's start-up: opening "valtic.in" and "valtic.out",
// loading the tables, and the console line, exit status and output file of
// every way that can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/driver_support.h"
#include "support/record_builder.h"
#include "tables/table_files.h"
#include "tables/table_writer.h"

namespace drg::testing {
namespace {

const std::string kInitError = " file init error \n";
const std::string kCountError = " file count error \n";

class DriverStartup : public ::testing::Test {
protected:
    void SetUp() override {
        groupingRelease().write(dir_.path());
        input_ = RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0"}).line();
        writeFile(dir_.file("valtic.in"), input_);
    }

    // Runs the program and checks the outcome of a failed start: the console
    // line, status 0, and an empty "valtic.out" (emptied if it held data).
    void expectLoadFailure(const std::string& consoleLine, const std::string& file, const std::string& what) {
        writeFile(dir_.file("valtic.out"), "old output\n");
        const ProcessResult run = runBatchProgram(dir_.path());
        EXPECT_EQ(run.out, consoleLine) << what;
        EXPECT_EQ(run.exitStatus, 0) << what;
        ASSERT_TRUE(fileExists(dir_.file("valtic.out"))) << what;
        EXPECT_EQ(readFile(dir_.file("valtic.out")), "") << what;
        // One line on standard error names the file.
        EXPECT_EQ(run.err.rfind(file + ":", 0), 0u) << what << ": " << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << what << ": " << run.err;
    }

    TempDir dir_;
    std::string input_;
};

TEST_F(DriverStartup, ACompleteRunEndsWithStatusOne) {
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(resultColumns(readFile(dir_.file("valtic.out"))), "01 B0100B010BZ20130201");
}

TEST_F(DriverStartup, AMissingInputCreatesNoOutput) {
    std::filesystem::remove(dir_.file("valtic.in"));
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file in open error\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_FALSE(fileExists(dir_.file("valtic.out")));
}

TEST_F(DriverStartup, AMissingInputLeavesAnExistingOutputUnchanged) {
    std::filesystem::remove(dir_.file("valtic.in"));
    writeFile(dir_.file("valtic.out"), "earlier results\n");
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file in open error\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(readFile(dir_.file("valtic.out")), "earlier results\n");
}

TEST_F(DriverStartup, AMissingInputIsReportedBeforeAnyTableIsLookedAt) {
    std::filesystem::remove(dir_.file("valtic.in"));
    removeTableFile(dir_.path(), "Tdx.idx");
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file in open error\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(DriverStartup, AnOutputThatCannotBeOpened) {
    std::filesystem::create_directory(dir_.file("valtic.out"));
    removeTableFile(dir_.path(), "Tdx.idx");  // never reached
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "file out open error\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
}

TEST_F(DriverStartup, AnOutputLinkedToTheInputIsNotOpenedAndTheInputKept) {
    for (const bool symbolic : {true, false}) {
        std::filesystem::remove(dir_.file("valtic.out"));
        if (symbolic)
            std::filesystem::create_symlink("valtic.in", dir_.file("valtic.out"));
        else
            std::filesystem::create_hard_link(dir_.file("valtic.in"), dir_.file("valtic.out"));
        const ProcessResult run = runBatchProgram(dir_.path());
        EXPECT_EQ(run.out, "file out open error\n") << symbolic;
        EXPECT_EQ(run.exitStatus, 0) << symbolic;
        EXPECT_EQ(readFile(dir_.file("valtic.in")), input_) << symbolic;
    }
}

TEST_F(DriverStartup, EachMissingTableFileIsAnInitError) {
    for (int file = 0; file < kTableFileCount; ++file) {
        groupingRelease().write(dir_.path());
        removeTableFile(dir_.path(), kTableFileNames[file]);
        expectLoadFailure(kInitError, kTableFileNames[file], std::string("missing ") + kTableFileNames[file]);
    }
}

TEST_F(DriverStartup, EachTableFileOneByteShortIsAnInitError) {
    for (int file = 0; file < kTableFileCount; ++file) {
        groupingRelease().write(dir_.path());
        cutFile(dir_.path(), kTableFileNames[file], 1);
        expectLoadFailure(kInitError, kTableFileNames[file], std::string("short ") + kTableFileNames[file]);
    }
}

TEST_F(DriverStartup, EachCrossCheckedCountOffByOneIsACountError) {
    struct Check {
        const char* file;
        int field;
        const char* earlier;
    };
    const std::vector<Check> checks = {
        {"Tdag_ast", 1, "Tdx.idx"}, {"Tcode", 1, "Tdx.idx"},   {"Tcode", 2, "Tsg.idx"},  {"Tadrg1", 1, "Tmdc.idx"},
        {"Tadrg2", 1, "Tmdc.idx"},  {"Tadrg3", 1, "Tmdc.idx"}, {"Tadrg4", 1, "Tmdc.idx"}, {"Tadrg5", 1, "Tmdc.idx"},
        {"Taadrg", 1, "Tadrg.idx"}, {"Tccl2", 1, "Tdx.idx"},   {"Tccl2", 4, "Tadrg.idx"}, {"Tpccl", 1, "Taadrg.idx"},
    };
    for (const auto& c : checks) {
        groupingRelease().write(dir_.path());
        const std::string earlier = readFile(dir_.file(c.earlier));
        const long count = std::stol(earlier.substr(0, 10));
        setCountField(dir_.path(), c.file, c.field, std::to_string(count + 1));
        const std::string what = std::string(c.file) + " field " + std::to_string(c.field);
        expectLoadFailure(kCountError, c.file, what);
    }
}

TEST_F(DriverStartup, DamagedCountFields) {
    struct Case {
        const char* file;
        int field;
        std::string value;
        std::string console;
        const char* named;  // the file that the error line names
    };
    const std::vector<Case> cases = {
        {"Tdx.idx", 1, "          ", kCountError, "Tdag_ast"},  // 0 codes: "Tdag_ast" disagrees
        {"Tsg.idx", 1, "-1", kInitError, "Tsg.idx"},           // 65535 codes: short file
        {"Tccl", 4, "-1", kInitError, "Tccl"},
        {"Tccedit", 1, "-1", kInitError, "Tccedit"},            // 16-bit: 65535, not negative
        {"Tcode", 3, "-1", kInitError, "Tcode"},                // 32-bit: negative
        {"Tccedit1", 1, "-1", kInitError, "Tccedit1"},
        {"Tccedit2", 2, "-7", kInitError, "Tccedit2"},
        {"Tcode", 3, "2147483647", kInitError, "Tcode"},
        {"Tcond.idx", 1, "853", kInitError, "Tcond.idx"},
    };
    for (const auto& c : cases) {
        groupingRelease().write(dir_.path());
        setCountField(dir_.path(), c.file, c.field, c.value);
        expectLoadFailure(c.console, c.named, std::string(c.file) + " field " + std::to_string(c.field) + " = " + c.value);
    }
}

TEST_F(DriverStartup, BlankCountsOfTablesWithoutChecksLoad) {
    // "Tadrg" with no ranges and no rows: a record before 2005 finds no MDC.
    setCountField(dir_.path(), "Tadrg", 1, "          ");
    setCountField(dir_.path(), "Tadrg", 2, "          ");
    const std::string old = RecordBuilder().birthDate("500615").sex('1').date("20040615").diagnoses({"G40.0"}).line();
    writeFile(dir_.file("valtic.in"), old + input_);
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitStatus, 1);
    const std::string out = readFile(dir_.file("valtic.out"));
    ASSERT_EQ(out.size(), 2 * 306u);
    EXPECT_EQ(resultColumns(out.substr(0, 306)), kNoGroupResults);
    EXPECT_EQ(resultColumns(out.substr(306)), "01 B0100B010BZ20130201");
}

TEST_F(DriverStartup, AValueOutsideItsArrayIsAnInitErrorNamingTheField) {
    TableSet t = groupingRelease().build();
    t.decisionTables[3].rowAdrg[0] = static_cast<int16_t>(t.adrgCodes.count);
    writeTableFiles(t, dir_.path());
    writeFile(dir_.file("valtic.out"), "old output\n");
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, kInitError);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(readFile(dir_.file("valtic.out")), "");
    EXPECT_EQ(run.err.rfind("Tadrg3:", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("rowAdrg"), std::string::npos) << run.err;
}

TEST_F(DriverStartup, ALoadFailureIsReportedWhateverTheInput) {
    writeFile(dir_.file("valtic.in"), "");
    removeTableFile(dir_.path(), "Tccedit2");
    expectLoadFailure(kInitError, "Tccedit2", "empty input, missing Tccedit2");
}

TEST_F(DriverStartup, ConditionKindsThatDisagreeStopAtTheFirstRecord) {
    TableBuilder b = groupingRelease();
    b.conditionKind(500, 'l');  // 500 is not a built-in derived condition
    b.write(dir_.path());
    writeFile(dir_.file("valtic.in"), input_ + input_);
    writeFile(dir_.file("valtic.out"), "old output\n");
    const ProcessResult run = runBatchProgram(dir_.path());
    EXPECT_EQ(run.out, "logic setting missing or error\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(readFile(dir_.file("valtic.out")), "");  // the failing record is not written

    // Without records nothing is checked: a complete run.
    writeFile(dir_.file("valtic.in"), "");
    const ProcessResult empty = runBatchProgram(dir_.path());
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.exitStatus, 1);
}

TEST_F(DriverStartup, TheCommandLineIsIgnored) {
    const ProcessResult run = runProgram(DRG_BATCH_PATH, dir_.path(), {"--help", "other.in"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(resultColumns(readFile(dir_.file("valtic.out"))), "01 B0100B010BZ20130201");
}

}  // namespace
}  // namespace drg::testing
