// loadTables and releaseTables:
// load order, result codes, cross-checks, short files, damaged counts, the
// release after a partial load, and a round trip through the writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/release.h"
#include "tables/loader_release.h"

namespace drg::testing {
namespace {

// Every array of a file as raw bytes, in file order, plus its counts.
struct FileImage {
    std::array<int64_t, 4> counts{};
    std::vector<std::string> arrays;
    bool operator==(const FileImage&) const = default;
};

FileImage imageOf(const TableSet& t, int file) {
    FileImage image;
    image.counts = fileCounts(t, file);
    forEachArray(t, file, [&](const auto& array, size_t) {
        image.arrays.emplace_back(reinterpret_cast<const char*>(array.data()), array.size() * sizeof(array[0]));
    });
    return image;
}

void applyDecisionFixup(TableSet& t) {
    for (auto& table : t.decisionTables) decisionRowFixup(table, t.conditions.conditionCount);
}

bool everythingReleased(const TableSet& t) {
    bool empty = true;
    for (int file = 0; file < kTableFileCount; ++file) {
        forEachArray(t, file, [&](const auto& array, size_t) {
            if (!array.empty() || array.capacity() != 0) empty = false;
        });
        for (int64_t c : fileCounts(t, file))
            if (c != 0) empty = false;
    }
    return empty;
}

class TableLoader : public ::testing::Test {
protected:
    void SetUp() override {
        built_ = loaderRelease().build();
        ASSERT_TRUE(writeTableFiles(built_, dir_.path()));
    }
    std::string path(int file) const { return dir_.file(kTableFileNames[file]); }
    int64_t count(int file, int field) const { return fileCounts(built_, file)[field - 1]; }

    TempDir dir_;
    TableSet built_;
};

TEST_F(TableLoader, LoadsAConsistentReleaseWithResultZero) {
    const LoadOutcome o = loadFrom(dir_.path());
    EXPECT_EQ(o.result, kLoadOk) << o.problem;
    EXPECT_EQ(o.problem, "");
}

TEST_F(TableLoader, RoundTripGivesBackEveryArrayAndCount) {
    TableSet loaded;
    ASSERT_EQ(loadTables(loaded, dir_.path()), kLoadOk);
    TableSet expected = built_;
    applyDecisionFixup(expected);  // the loader fixes up the must-be-clear halves
    for (int file = 0; file < kTableFileCount; ++file) {
        EXPECT_TRUE(imageOf(loaded, file) == imageOf(expected, file)) << kTableFileNames[file];
        const std::string bytes = readFile(path(file));
        EXPECT_EQ(std::string(loaded.headers[file].data(), 100), bytes.substr(0, 100)) << kTableFileNames[file];
    }
    // The fix-up really changed something, so the comparison above means it.
    const auto& row = loaded.decisionTables[1].rowConditions;
    ASSERT_GE(row.size(), 20u);
    EXPECT_EQ(row[19], 854);
    releaseTables(loaded);
    EXPECT_TRUE(everythingReleased(loaded));
}

TEST_F(TableLoader, FilesLongerThanTheirCountsLoadTheSame) {
    for (int file = 0; file < kTableFileCount; ++file)
        writeFile(path(file), readFile(path(file)) + std::string(17, '\x7f'));
    TableSet loaded;
    ASSERT_EQ(loadTables(loaded, dir_.path()), kLoadOk);
    TableSet expected = built_;
    applyDecisionFixup(expected);
    for (int file = 0; file < kTableFileCount; ++file)
        EXPECT_TRUE(imageOf(loaded, file) == imageOf(expected, file)) << kTableFileNames[file];
}

TEST_F(TableLoader, EachMissingFileGivesInitErrorAndLaterFilesAreNotNeeded) {
    for (int missing = 0; missing < kTableFileCount; ++missing) {
        TempDir dir;
        ASSERT_TRUE(writeTableFiles(built_, dir.path()));
        // The missing file and every file after it are gone.
        for (int file = missing; file < kTableFileCount; ++file) removeTableFile(dir.path(), kTableFileNames[file]);
        TableSet tables;
        const LoadOutcome o = loadFrom(dir.path(), tables);
        EXPECT_EQ(o.result, kLoadInitError) << kTableFileNames[missing];
        EXPECT_EQ(o.problem.rfind(std::string(kTableFileNames[missing]) + ":", 0), 0u) << o.problem;
        // Everything before it is loaded, as stored: rows are fixed up only
        // once every file is in.
        for (int file = 0; file < missing; ++file)
            EXPECT_TRUE(imageOf(tables, file) == imageOf(built_, file))
                << kTableFileNames[file] << " before missing " << kTableFileNames[missing];
        releaseTables(tables);
        EXPECT_TRUE(everythingReleased(tables));
    }
}

TEST_F(TableLoader, EachFileOneByteShortGivesInitError) {
    for (int file = 0; file < kTableFileCount; ++file) {
        TempDir dir;
        ASSERT_TRUE(writeTableFiles(built_, dir.path()));
        const size_t size = readFile(dir.file(kTableFileNames[file])).size();
        ASSERT_GT(size, 100u) << kTableFileNames[file] << " must have a body for this test to mean something";
        cutFile(dir.path(), kTableFileNames[file], 1);
        const LoadOutcome o = loadFrom(dir.path());
        EXPECT_EQ(o.result, kLoadInitError) << kTableFileNames[file];
        EXPECT_NE(o.problem.find(kTableFileNames[file]), std::string::npos) << o.problem;
        // Found from the file's size, before any array is allocated.
        EXPECT_NE(o.problem.find("holds " + std::to_string(size - 1) + " bytes"), std::string::npos) << o.problem;
    }
}

TEST_F(TableLoader, AHeaderShorterThanOneHundredBytesGivesInitError) {
    // In Tcode the bytes that are missing would hold cross-checked counts.
    for (int file : {kFileSgIdx, kFileCode}) {
        const std::string whole = readFile(path(file));
        for (size_t size : {0, 1, 10, 99}) {
            writeFile(path(file), whole.substr(0, size));
            const LoadOutcome o = loadFrom(dir_.path());
            EXPECT_EQ(o.result, kLoadInitError) << kTableFileNames[file] << " " << size << ": " << o.problem;
            EXPECT_NE(o.problem.find(kTableFileNames[file]), std::string::npos);
        }
        writeFile(path(file), whole);
    }
}

struct CrossCheckCase {
    int file;
    int field;
    int earlierFile;
};

const std::vector<CrossCheckCase> kCrossChecks = {
    {kFileDagAst, 1, kFileDxIdx}, {kFileCode, 1, kFileDxIdx},   {kFileCode, 2, kFileSgIdx},
    {kFileAdrg1, 1, kFileMdcIdx}, {kFileAdrg2, 1, kFileMdcIdx}, {kFileAdrg3, 1, kFileMdcIdx},
    {kFileAdrg4, 1, kFileMdcIdx}, {kFileAdrg5, 1, kFileMdcIdx}, {kFileAadrg, 1, kFileAdrgIdx},
    {kFileCcl2, 1, kFileDxIdx},   {kFileCcl2, 4, kFileAdrgIdx}, {kFilePccl, 1, kFileAadrgIdx},
};

TEST_F(TableLoader, EachOfTheTwelveCrossChecksOffByOneGivesCountError) {
    ASSERT_EQ(kCrossChecks.size(), 12u);
    for (const auto& c : kCrossChecks) {
        for (int delta : {+1, -1}) {
            for (bool truncated : {false, true}) {
                TempDir dir;
                ASSERT_TRUE(writeTableFiles(built_, dir.path()));
                const std::string name = kTableFileNames[c.file];
                const int64_t expected = count(c.earlierFile, 1);
                ASSERT_EQ(count(c.file, c.field), expected);
                setCountField(dir.path(), name, c.field, std::to_string(expected + delta));
                // Checked before any array is read: a body cut down to nothing
                // still gives the count error.
                if (truncated) writeFile(dir.file(name), readFile(dir.file(name)).substr(0, 100));
                const LoadOutcome o = loadFrom(dir.path());
                EXPECT_EQ(o.result, kLoadCountError) << name << " field " << c.field << " delta " << delta
                                                     << (truncated ? " truncated" : "");
                EXPECT_NE(o.problem.find(name), std::string::npos) << o.problem;
                EXPECT_NE(o.problem.find("field " + std::to_string(c.field)), std::string::npos) << o.problem;
            }
        }
    }
}

TEST_F(TableLoader, CrossChecksCompareSixteenBitValues) {
    // 65536 more than the right count is the same 16-bit value.
    setCountField(dir_.path(), "Tdag_ast", 1, std::to_string(count(kFileDxIdx, 1) + 65536));
    EXPECT_EQ(loadFrom(dir_.path()).result, kLoadOk);
}

TEST_F(TableLoader, ACountErrorShowsAFieldThatDoesNotReadAsWritten) {
    setCountField(dir_.path(), "Tcode", 2, "9999999999");  // 58367 once cut to 16 bits
    const LoadOutcome o = loadFrom(dir_.path());
    EXPECT_EQ(o.result, kLoadCountError);
    EXPECT_NE(o.problem.find("count field 2 is 58367 but Tsg.idx holds"), std::string::npos) << o.problem;
    EXPECT_NE(o.problem.find("; count field 2 holds '9999999999' read as 58367"), std::string::npos) << o.problem;
}

TEST_F(TableLoader, CrossChecksComeInTheListedOrder) {
    setCountField(dir_.path(), "Tcode", 1, "1");
    setCountField(dir_.path(), "Tcode", 2, "1");
    const LoadOutcome o = loadFrom(dir_.path());
    EXPECT_EQ(o.result, kLoadCountError);
    EXPECT_NE(o.problem.find("field 1"), std::string::npos) << o.problem;
    EXPECT_NE(o.problem.find("Tdx.idx"), std::string::npos) << o.problem;
}

TEST_F(TableLoader, TheUncheckedVersionsMayDifferFromTheirIndexCounts) {
    // "Tadrg", "Tccl" and "Tccl1" are not compared with "Tmdc.idx", "Tdx.idx"
    // or "Tadrg.idx"; files consistent with their own counts load.
    auto loads = [](const std::function<void(TableSet&)>& change) { return loadChanged(change).result; };
    EXPECT_EQ(loads([](TableSet& t) { t.decisionTables[0].entryCount = 2; }), kLoadOk);
    EXPECT_EQ(loads([](TableSet& t) { t.decisionTables[0].entryCount = 9; }), kLoadOk);
    EXPECT_EQ(loads([](TableSet& t) { t.decisionTables[0].entryCount = 0; }), kLoadOk);
    for (int v : {0, 1}) {
        EXPECT_EQ(loads([v](TableSet& t) { t.levelTables[v].cclDiagnosisCount = 1; }), kLoadOk) << v;
        EXPECT_EQ(loads([v](TableSet& t) {
                      auto& x = t.levelTables[v];
                      x.cclDiagnosisCount = static_cast<uint16_t>(x.cclDiagnosisCount + 3);
                  }),
                  kLoadOk)
            << v;
        EXPECT_EQ(loads([v](TableSet& t) { t.levelTables[v].cclColumnCount = 1; }), kLoadOk) << v;
        EXPECT_EQ(loads([v](TableSet& t) { t.levelTables[v].cclColumnCount = 7; }), kLoadOk) << v;
    }
    for (int v : {0, 1, 2}) {
        EXPECT_EQ(loads([v](TableSet& t) { t.exclusionTables[v].exclusionDiagnosisCount = 1; }), kLoadOk) << v;
        EXPECT_EQ(loads([v](TableSet& t) { t.exclusionTables[v].exclusionDiagnosisCount += 5; }), kLoadOk) << v;
    }
}

TEST_F(TableLoader, ABlankCountFieldIsZeroAndNeedsNoBytes) {
    // "Tadrg" is not cross-checked: with both counts blank it has no ranges and no rows.
    setCountField(dir_.path(), "Tadrg", 1, "          ");
    setCountField(dir_.path(), "Tadrg", 2, "          ");
    writeFile(path(kFileAdrg0), readFile(path(kFileAdrg0)).substr(0, 100));
    // "Tccedit" has no list entries: its list count may be blank.
    ASSERT_EQ(count(kFileCcedit0, 2), 0);
    setCountField(dir_.path(), "Tccedit", 2, "          ");
    TableSet t;
    const LoadOutcome o = loadFrom(dir_.path(), t);
    ASSERT_EQ(o.result, kLoadOk) << o.problem;
    EXPECT_EQ(t.decisionTables[0].entryCount, 0);
    EXPECT_EQ(t.decisionTables[0].rowCount, 0);
    EXPECT_TRUE(t.decisionTables[0].rowBegin.empty());
    EXPECT_EQ(t.exclusionTables[0].exclusionListCount, 0);
    releaseTables(t);
}

TEST(TableLoaderBlankIndex, ABlankIndexCountMakesTheTablesThatDependOnItFail) {
    struct Case {
        const char* file;
        int result;
        const char* problemStart;
        const char* field;
    };
    const std::vector<Case> cases = {
        {"Tdx.idx", kLoadCountError, "Tdag_ast:", "field 1"},
        {"Tsg.idx", kLoadCountError, "Tcode:", "field 2"},
        // "Tadrg" is not count-checked, and its rows name MDCs and ADRGs that
        // are no longer there; the count checks of the later files decide.
        {"Tmdc.idx", kLoadCountError, "Tadrg1:", "field 1"},
        {"Tadrg.idx", kLoadCountError, "Taadrg:", "field 1"},
        {"Taadrg.idx", kLoadCountError, "Tpccl:", "field 1"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        loaderRelease().write(dir.path());
        setCountField(dir.path(), c.file, 1, "          ");
        const LoadOutcome o = loadFrom(dir.path());
        EXPECT_EQ(o.result, c.result) << c.file;
        EXPECT_EQ(o.problem.rfind(c.problemStart, 0), 0u) << c.file << ": " << o.problem;
        EXPECT_NE(o.problem.find(c.field), std::string::npos) << c.file << ": " << o.problem;
    }
}

TEST_F(TableLoader, MinusOneInASixteenBitFieldAsksFor65535ElementsWithoutAllocating) {
    for (int file : {kFileSgIdx, kFileCondIdx, kFileAdrg0, kFileCcl0, kFileCcedit0}) {
        const CountFieldLayout layout = countFieldLayout(file);
        for (int field = 1; field <= layout.used; ++field) {
            TempDir dir;
            ASSERT_TRUE(writeTableFiles(built_, dir.path()));
            setCountField(dir.path(), kTableFileNames[file], field, "-1");
            TableSet t;
            const LoadOutcome o = loadFrom(dir.path(), t);
            EXPECT_EQ(o.result, kLoadInitError) << kTableFileNames[file] << " field " << field;
            EXPECT_EQ(o.problem.rfind(std::string(kTableFileNames[file]) + ":", 0), 0u) << o.problem;
            EXPECT_EQ(o.problem.find("negative"), std::string::npos) << "16-bit counts are never negative";
            // Nothing of the failing file was allocated.
            forEachArray(t, file, [&](const auto& array, size_t) {
                EXPECT_EQ(array.capacity(), 0u) << kTableFileNames[file] << " field " << field;
            });
            releaseTables(t);
        }
    }
}

TEST_F(TableLoader, AllFourLevelCountsAtMaximumAreAShortFileFoundBeforeAllocating) {
    // 65535 x 65535 matrix bytes: four gigabytes that must never be asked for.
    for (int field = 1; field <= 4; ++field) setCountField(dir_.path(), "Tccl1", field, "-1");
    TableSet t;
    const LoadOutcome o = loadFrom(dir_.path(), t);
    EXPECT_EQ(o.result, kLoadInitError);
    EXPECT_EQ(t.levelTables[1].cclMatrix.capacity(), 0u);
    EXPECT_EQ(t.levelTables[1].cclRowBegin.capacity(), 0u);
    releaseTables(t);
}

TEST_F(TableLoader, AHugeThirtyTwoBitCountIsAShortFileFoundBeforeAllocating) {
    setCountField(dir_.path(), "Tcode", 3, "2000000000");
    TableSet t;
    const LoadOutcome o = loadFrom(dir_.path(), t);
    EXPECT_EQ(o.result, kLoadInitError);
    EXPECT_EQ(o.problem.rfind("Tcode:", 0), 0u) << o.problem;
    EXPECT_EQ(t.codeConditions.entryCondition.capacity(), 0u);
    EXPECT_EQ(t.codeConditions.diagnosisEntryBegin.capacity(), 0u);
    releaseTables(t);
    setCountField(dir_.path(), "Tcode", 3, "2147483647");
    EXPECT_EQ(loadFrom(dir_.path()).result, kLoadInitError);
    // Twice its entries: fewer elements than the file has bytes, more bytes than it has.
    setCountField(dir_.path(), "Tcode", 3, std::to_string(2 * count(kFileCode, 3)));
    EXPECT_EQ(loadFrom(dir_.path(), t).result, kLoadInitError);
    EXPECT_EQ(t.codeConditions.diagnosisEntryBegin.capacity(), 0u);
    releaseTables(t);
    setCountField(dir_.path(), "Tccedit2", 1, "2147483647");
    setCountField(dir_.path(), "Tcode", 3, std::to_string(count(kFileCode, 3)));
    EXPECT_EQ(loadFrom(dir_.path()).result, kLoadInitError);
}

TEST_F(TableLoader, NegativeThirtyTwoBitCountsGiveInitError) {
    const std::vector<std::pair<int, int>> wide = {{kFileCode, 3},     {kFileCcedit1, 1}, {kFileCcedit1, 2},
                                                   {kFileCcedit2, 1}, {kFileCcedit2, 2}};
    for (const auto& [file, field] : wide) {
        for (const char* value : {"-1", "-2147483648", "4294967295"}) {
            TempDir dir;
            ASSERT_TRUE(writeTableFiles(built_, dir.path()));
            setCountField(dir.path(), kTableFileNames[file], field, value);
            TableSet t;
            const LoadOutcome o = loadFrom(dir.path(), t);
            EXPECT_EQ(o.result, kLoadInitError) << kTableFileNames[file] << " field " << field << " " << value;
            EXPECT_EQ(o.problem.rfind(std::string(kTableFileNames[file]) + ":", 0), 0u) << o.problem;
            EXPECT_NE(o.problem.find("field " + std::to_string(field)), std::string::npos) << o.problem;
            releaseTables(t);
        }
    }
}

TEST_F(TableLoader, ThirtyTwoBitCountsAreNotCutToSixteenBits) {
    // "Tccedit1" list count 65536 + n: a 16-bit reading would need n entries only.
    const int64_t n = count(kFileCcedit1, 2);
    ASSERT_GT(n, 0);
    setCountField(dir_.path(), "Tccedit1", 2, std::to_string(65536 + n));
    EXPECT_EQ(loadFrom(dir_.path()).result, kLoadInitError);
}

TEST_F(TableLoader, FewerThan854ConditionsAreRefused) {
    for (const char* value : {"853", "0", "1", "          "}) {
        setCountField(dir_.path(), "Tcond.idx", 1, value);
        const LoadOutcome o = loadFrom(dir_.path());
        EXPECT_EQ(o.result, kLoadInitError) << value;
        EXPECT_EQ(o.problem.rfind("Tcond.idx:", 0), 0u) << o.problem;
    }
    // 854 is enough (the file written holds 854).
    setCountField(dir_.path(), "Tcond.idx", 1, "854");
    EXPECT_EQ(loadFrom(dir_.path()).result, kLoadOk);
}

TEST(TableLoaderConditions, MoreThan854ConditionsLoad) {
    TableBuilder b = loaderRelease();
    b.conditionCount(900);
    TempDir dir;
    b.write(dir.path());
    TableSet t;
    ASSERT_EQ(loadTables(t, dir.path()), kLoadOk);
    EXPECT_EQ(t.conditions.conditionCount, 900);
    // The must-be-clear fix-up uses the loaded condition count.
    EXPECT_EQ(t.decisionTables[5].rowConditions[19], 900);
    releaseTables(t);

    TableBuilder small = loaderRelease();
    small.conditionCount(853);
    TempDir dir2;
    small.write(dir2.path());
    EXPECT_EQ(loadFrom(dir2.path()).result, kLoadInitError);
}

TEST_F(TableLoader, ReleaseAfterAPartialLoadFreesWhatWasAllocated) {
    removeTableFile(dir_.path(), "Tccl1");
    TableSet t;
    ASSERT_EQ(loadTables(t, dir_.path()), kLoadInitError);
    EXPECT_FALSE(t.diagnosisIndex.code.bytes.empty());
    EXPECT_FALSE(t.levelTables[0].cclMatrix.empty());
    EXPECT_TRUE(t.levelTables[1].cclRowBegin.empty());
    releaseTables(t);
    EXPECT_TRUE(everythingReleased(t));
    releaseTables(t);  // repeated: nothing left to free
    EXPECT_TRUE(everythingReleased(t));
    Release release;  // a release that fails to load frees what it had loaded
    EXPECT_EQ(loadRelease(release, dir_.path()), kLoadInitError);
    EXPECT_TRUE(everythingReleased(release.tables));
}

TEST(TableLoaderRelease, ReleaseOfANeverLoadedSetIsHarmless) {
    TableSet t;
    releaseTables(t);
    EXPECT_TRUE(everythingReleased(t));
}

TEST_F(TableLoader, ADirectoryInPlaceOfATableFileIsAnInitError) {
    removeTableFile(dir_.path(), "Tpccl");
    std::filesystem::create_directory(path(kFilePccl));
    const LoadOutcome o = loadFrom(dir_.path());
    EXPECT_EQ(o.result, kLoadInitError);
    EXPECT_EQ(o.problem.rfind("Tpccl:", 0), 0u) << o.problem;
}

TEST(DecisionRowFixup, ReplacesZerosOfTheMustBeClearHalfOnlyAndIsIdempotent) {
    DecisionTable t;
    t.rowCount = 2;
    t.rowConditions.assign(40, 0);
    t.rowConditions[3] = 17;
    t.rowConditions[12] = 5;
    t.rowConditions[25] = 9;
    decisionRowFixup(t, 900);
    for (int i = 0; i < 40; ++i) {
        const bool mustClear = i % 20 >= 10;
        int16_t expected = mustClear ? 900 : 0;
        if (i == 3) expected = 17;
        if (i == 12) expected = 5;
        if (i == 25) expected = 9;
        EXPECT_EQ(t.rowConditions[i], expected) << i;
    }
    const auto once = t.rowConditions;
    decisionRowFixup(t, 900);
    EXPECT_EQ(t.rowConditions, once);
}

}  // namespace
}  // namespace drg::testing
