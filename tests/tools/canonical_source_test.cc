// A source written in canonical form comes back unchanged from
// build and dump: every file, every optional column.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_folder.h"
#include "tablesource/source_labels.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

const std::map<std::string, std::string> kCanonicalSource = {
    {"release.tsv",
     "setting\tvalue\n"
     "condition_count\t900\n"
     "header.Tccl1\tFictional levels 2026\n"
     "placeholder.Taadrg.idx\tZZZZZ\n"},
    {"conditions.tsv",
     "condition\tfirst_slot\tlast_slot\n"
     "100\t1\t1\n"
     "373\t1\t1\n"
     "860\t2\t10\n"},
    {"diagnoses.tsv",
     "code\tid\tspare\n"
     "A01.1\t3\t\\x20\n"
     "B20.0\t1\tX\n"
     "C30\t2\t\\x20\n"
     "C30.1\t2\t\\x20\n"
     "c40\t4\t\\x20\n"},
    {"procedures.tsv", "code\n1-100\n5-200\n"},
    {"mdcs.tsv", "code\nPRE\n01\n02\n"},
    {"adrgs.tsv", "code\nA010\nB010\nB020\n"},
    {"refined.tsv", "code\nA010A\nB010A\nB010B\nB020Z\nB010A\n"},
    {"dagger-asterisk.tsv",
     "principal\tpartner\tfrom\tto\n"
     "-\tC30\t-\t-\n"
     "A01.1\tB20.0\t-\t20091231\n"},
    {"diagnosis-conditions.tsv",
     "code\tcondition\tfrom\tto\ttag\n"
     "B20.0\t100\t-\t-\t\\x20\n"
     "C30\t101\t20050101\t-\tT\n"
     "A01.1\t100\t-\t-\t\\x00\n"},
    {"procedure-conditions.tsv",
     "code\tcondition\tfrom\tto\n"
     "1-100\t102\t-\t-\n"
     "5-200\t357\t20090101\t20121231\n"},
    {"decisions.tsv",
     "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tfrom\tto\n"
     "PRE\t100\t800\t01\tB010\t-\t-\n"
     "PRE\t101 102\t-\t02\tB020\t-\t20091231\n"
     "01\t102\t-\t-\tA010\t-\t-\n"
     "01\t-\t-\t01\tB010\t-\t-\n"},
    {"decisions-20090101.tsv",
     "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tfrom\tto\n"
     "PRE\t100\t800 822\t01\tB010\t-\t-\n"},
    {"decisions-20110101.tsv", "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tfrom\tto\n"},
    {"refinements.tsv",
     "adrg\tmin_age\tmax_age\tsuffix\tfrom\tto\n"
     "A010\t0\t150\tA\t-\t-\n"
     "B010\t0\t17\tA\t-\t-\n"
     "B010\t18\t150\tB\t-\t-\n"
     "B020\t-1\t150\tZ\t-\t-\n"},
    {"levels.tsv",
     "diagnosis\tdefault\tlevels\tfrom\tto\n"
     "B20.0\t2\tB010=3\t-\t-\n"
     "A01.1\t0\tA010=4\t-\t20101231\n"},
    {"levels-20120701.tsv",
     "diagnosis\tdefault\tlevels\tfrom\tto\n"
     "B20.0\t1\t-\t-\t-\n"},
    {"exclusions.tsv",
     "diagnosis\texcluded\n"
     "B20.0\t- C30\n"
     "A01.1\tB20.0 A01.1\n"},
    {"exclusions-20111101.tsv",
     "diagnosis\texcluded\n"
     "C30\tB20.0\n"},
    {"splits.tsv",
     "refined\tprofile\tfrom\tto\n"
     "B010A\t01234\t-\t-\n"
     "B010B\tAB\\x00\\x00\\x00\t-\t20111231\n"
     "@5\tXXXXX\t-\t-\n"},
};

TEST(CanonicalSource, BuildThenDumpGivesTheSourceBack) {
    const source::Source original = parseSource(kCanonicalSource);
    TempDir dir;
    const TableSet tables = writeAndLoad(compileOrFail(original), dir.path());
    std::string difference;
    EXPECT_TRUE(sameSource(original, source::decompileTables(tables), &difference)) << difference;
}

TEST(CanonicalSource, LabelsNotesAndCommentsAreForPeopleOnly) {
    auto files = kCanonicalSource;
    files["conditions.tsv"] = "# conditions\ncondition\tfirst_slot\tlast_slot\tlabel\n100\t1\t1\theart\n373\t1\t1\tmale\n"
                              "860\t2\t10\t\n";
    files["decisions-20090101.tsv"] =
        "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tfrom\tto\tnote\n"
        "# the only row\n"
        "PRE\t100:heart\t800 822\t01\tB010\t-\t-\tthe heart row\n";
    const source::Source labelled = parseSource(files);
    TempDir dir;
    const TableSet tables = writeAndLoad(compileOrFail(labelled), dir.path());
    std::string difference;
    EXPECT_TRUE(sameSource(parseSource(kCanonicalSource), source::decompileTables(tables), &difference))
        << difference;
}

// A list of conditions is split at blanks, so a dump that takes labels from
// a source names a condition whose label holds a blank by its number alone.
TEST(CanonicalSource, DumpWithLabelsLeavesOutLabelsThatAListCannotHold) {
    auto files = kCanonicalSource;
    files["conditions.tsv"] = "condition\tfirst_slot\tlast_slot\tlabel\n100\t1\t1\theart attack\n373\t1\t1\tmale\n"
                              "860\t2\t10\t\n";
    const source::Source labelled = parseSource(files);
    files["decisions-20090101.tsv"] =
        "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tfrom\tto\nPRE\t100 373\t800 822\t01\tB010\t-\t-\n";
    const source::Source dumped =
        source::withRemarksFrom(source::decompileTables(compileOrFail(parseSource(files))), labelled);
    EXPECT_EQ(dumped.at("decisions-20090101.tsv").rows.at(0).fields.at(1), "100 373:male");
    compileOrFail(dumped);
}

// Labels from a source that the tables no longer match: a condition at the
// count is not listed again (that would raise the count), and an exclusion
// list in another order is the same row, so it keeps its note.
TEST(CanonicalSource, LabelsFromAnOlderSourceChangeNothingTheTablesSay) {
    auto files = kCanonicalSource;
    files["conditions.tsv"] = "condition\tfirst_slot\tlast_slot\tlabel\n100\t1\t1\theart\n900\t1\t46\tgone\n";
    files["exclusions.tsv"] = "diagnosis\texcluded\tnote\nB20.0\tC30 -\tkept\n";
    const source::Source tables = source::decompileTables(compileOrFail(parseSource(kCanonicalSource)));
    const source::Source dumped = source::withRemarksFrom(tables, parseSource(files));
    EXPECT_EQ(dumped.at("exclusions.tsv").rows.at(0).fields, (std::vector<std::string>{"B20.0", "C30 -", "kept"}));
    compileOrFail(dumped);
}

TEST(CanonicalSource, WrittenFolderReadsBackTheSame) {
    const source::Source original = parseSource(kCanonicalSource);
    TempDir dir;
    std::string problem;
    ASSERT_TRUE(source::writeSourceFolder(original, dir.path(), false, &problem)) << problem;
    source::Diagnostics diagnostics;
    const source::Source read = source::readSourceFolder(dir.path(), diagnostics);
    EXPECT_FALSE(diagnostics.hasErrors());
    std::string difference;
    EXPECT_TRUE(sameSource(original, read, &difference)) << difference;
}

TEST(CanonicalSource, MissingLaterVersionRepeatsTheOneBefore) {
    const TableSet tables = compileOrFail(parseSource(kCanonicalSource));
    // decisions: versions 1 and 2 are given, 3 repeats 2; 4 is empty and 5 repeats it.
    EXPECT_EQ(tables.decisionTables[0].rowCount, 4);
    EXPECT_EQ(tables.decisionTables[1].rowCount, 4);
    EXPECT_EQ(tables.decisionTables[2].rowCount, 1);
    EXPECT_EQ(tables.decisionTables[3].rowConditions, tables.decisionTables[2].rowConditions);
    EXPECT_EQ(tables.decisionTables[4].rowCount, 0);
    EXPECT_EQ(tables.decisionTables[5].rowCount, 0);
    EXPECT_EQ(tables.levelTables[1].cclRowCount, 2);
    EXPECT_EQ(tables.levelTables[2].cclRowCount, 1);
    EXPECT_EQ(tables.exclusionTables[1].exclusionListCount, 4);
    EXPECT_EQ(tables.exclusionTables[2].exclusionListCount, 1);
}

TEST(CanonicalSource, CompilesCodesRangesAndProfiles) {
    const TableSet t = compileOrFail(parseSource(kCanonicalSource));
    // Sorted codes with their explicit ids; C30 and C30.1 share id 2.
    ASSERT_EQ(t.diagnosisIndex.count, 6);
    EXPECT_EQ(std::string(t.diagnosisIndex.code.at(1), 6), "A01.1 ");
    EXPECT_EQ(std::vector<int16_t>(t.diagnosisIndex.id.begin(), t.diagnosisIndex.id.end()),
              (std::vector<int16_t>{0, 3, 1, 2, 2, 4}));
    // Decision rows of version 0: PRE (index 1) holds rows 0-1, 01 (index 2) rows 2-3.
    const auto& d = t.decisionTables[0];
    EXPECT_EQ(std::vector<int16_t>(d.rowBegin.begin(), d.rowBegin.end()), (std::vector<int16_t>{0, 0, 2, 4}));
    EXPECT_EQ(std::vector<int16_t>(d.rowEnd.begin(), d.rowEnd.end()), (std::vector<int16_t>{0, 2, 4, 4}));
    EXPECT_EQ(d.rowConditions[20], 101);
    EXPECT_EQ(d.rowConditions[21], 102);
    EXPECT_EQ(d.rowConditions[10], 800);
    EXPECT_EQ(d.rowConditions[11], 0);  // empty place
    // Levels: two rows, two distinct profiles over the 4 ADRG columns.
    const auto& ccl = t.levelTables[0];
    EXPECT_EQ(ccl.cclColumnCount, 4);
    EXPECT_EQ(std::string(ccl.cclMatrix.begin(), ccl.cclMatrix.end()), "22320400");
    // Exclusion lists are ascending ids: B20.0 (id 1) excludes none (0) and C30 (2).
    const auto& ex = t.exclusionTables[0];
    EXPECT_EQ(std::vector<int16_t>(ex.exclusionList.begin() + ex.exclusionBegin[1],
                                   ex.exclusionList.begin() + ex.exclusionEnd[1]),
              (std::vector<int16_t>{0, 2}));
    // The split of the second B010A entry is reached through @5.
    EXPECT_EQ(t.splits.splitRowEnd[5] - t.splits.splitRowBegin[5], 1);
    EXPECT_EQ(std::string(t.refinedCodes.text.at(0), 5), "ZZZZZ");
}

}  // namespace
}  // namespace drg::testing
