// The bundled sample classification: it builds cleanly, its records reach
// what the sample promises, its dump builds to the same grouping, and a dump
// that takes the sample's labels gives the sample back.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/test_files.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_folder.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

const std::string kDataDir = (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "data").string();

std::vector<std::string> sampleRecords() {
    std::vector<std::string> records;
    const std::string text = readFile(kDataDir + "/sample/valtic.in");
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        line.resize(305, ' ');  // as the batch program pads a short line
        records.push_back(line);
        start = end + 1;
    }
    return records;
}

struct SampleFixture : ::testing::Test {
    source::Diagnostics diagnostics;
    source::Source source = source::readSourceFolder(kDataDir + "/sample-release", diagnostics);
};

TEST_F(SampleFixture, BuildsWithoutErrorsOrWarnings) {
    const TableSet tables = compileOrFail(source);
    for (const auto& d : diagnostics.all()) ADD_FAILURE() << source::formatDiagnostic(d);
    EXPECT_GE(tables.levelTables.size(), 2u);
}

TEST_F(SampleFixture, RecordsReachWhatTheSamplePromises) {
    TempDir dir;
    const TableSet tables = writeAndLoad(compileOrFail(source), dir.path());
    const auto records = sampleRecords();
    const auto grouped = groupAll(tables, records);
    std::set<std::string> mdcs, pccls;
    bool noMdc = false, noRefinedCode = false;
    for (const auto& line : grouped) {
        mdcs.insert(line.substr(283, 3));
        pccls.insert(line.substr(290, 1));
        noMdc = noMdc || line.substr(283, 3) == "000";
        noRefinedCode = noRefinedCode || (line.substr(286, 4) != "0000" && line.substr(291, 6) == "000000");
    }
    EXPECT_EQ(mdcs, (std::set<std::string>{"000", "PRE", "01 ", "04 ", "05 ", "08 ", "14 ", "15 "}));
    EXPECT_EQ(pccls, (std::set<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_TRUE(noMdc);
    EXPECT_TRUE(noRefinedCode);

    // Records that show one rule each: record head -> MDC, ADRG, PCCL, DRG.
    const std::map<std::string, std::string> expected = {
        {"S0001   ", "PREA0604A060ZZ"},  // pre-MDC: ventilation with airway opening
        {"S0007   ", "01 B7002B700AB"},  // the asterisk code takes slot 1
        {"S0010   ", "04 E6200E620AC"},  // principal diagnosis cancels the breathing failure
        {"S0013   ", "04 E4002E400ZZ"},  // 2012 decision version: ventilation over 24 hours
        {"S0014   ", "04 E6502E650ZB"},  // 2010 decision version
        {"S0015   ", "05 F1001F100ZB"},  // levels until mid-2012
        {"S0016   ", "05 F1002F100ZB"},  // levels from mid-2012
        {"S0019   ", "08 I0803I080ZA"},  // highest level cancels the salt imbalance
        {"S0020   ", "08 I0800000000"},  // unknown age: no refined code
        {"S0023   ", "14 O6000O600ZB"},  // men-only code in a woman's record
        {"S0024   ", "05 F6202F620AB"},  // men-only code in a man's record
        {"S0026   ", "15 P6000P600ZZ"},  // newborn under 750 g
        {"S0027   ", "15 P6103P610ZA"},  // newborn 1000-1499 g
        {"S0029   ", "00000000000000"},   // newborn code at two months: no MDC
        {"S0030   ", "04 E6202E620AB"},  // lower-case input
        {"S0034   ", "01 B7004B700AA"},  // exclusions until late 2011
        {"S0035   ", "01 B7003B700AB"},  // exclusions from late 2011
        {"S0037   ", "01 B7002B700AB"},  // short line
    };
    for (const auto& line : grouped) {
        auto it = expected.find(line.substr(0, 8));
        if (it != expected.end()) {
            EXPECT_EQ(line.substr(283, 14), it->second) << it->first;
        }
    }
}

TEST_F(SampleFixture, DumpBuildsToTheSameGroupingAndIsAFixedPoint) {
    TempDir original, rebuilt;
    const TableSet tables = writeAndLoad(compileOrFail(source), original.path());
    const source::Source dumped = source::decompileTables(tables);
    const TableSet again = writeAndLoad(compileOrFail(dumped), rebuilt.path());
    EXPECT_EQ(groupAll(tables, sampleRecords()), groupAll(again, sampleRecords()));
    std::string difference;
    EXPECT_TRUE(sameSource(dumped, source::decompileTables(again), &difference)) << difference;
    // Only the versions that differ are written.
    EXPECT_EQ(dumped.count("decisions-20110101.tsv"), 1u);
    EXPECT_EQ(dumped.count("decisions-20050101.tsv"), 0u);
    EXPECT_EQ(dumped.count("levels-20120701.tsv"), 1u);
    EXPECT_EQ(dumped.count("exclusions-20111101.tsv"), 1u);
}

TEST_F(SampleFixture, DumpWithItsLabelsGivesTheSampleBack) {
    TempDir dir;
    const std::string sample = kDataDir + "/sample-release";
    ASSERT_EQ(runProgram(DRG_TOOL_PATH, dir.path(), {"tables", "build", sample, "tables"}).exitStatus, 0);
    const ProcessResult dumped =
        runProgram(DRG_TOOL_PATH, dir.path(), {"tables", "dump", "tables", "source", "--labels-from", sample});
    ASSERT_EQ(dumped.exitStatus, 0) << dumped.err;
    // Every label, note, comment and labelled condition, each where it stood.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(sample)) names.insert(entry.path().filename());
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("source"))) names.insert(entry.path().filename());
    for (const auto& name : names) EXPECT_EQ(readFile(dir.file("source/" + name)), readFile(sample + "/" + name)) << name;
    EXPECT_EQ(names.size(), source.size());
}

}  // namespace
}  // namespace drg::testing
