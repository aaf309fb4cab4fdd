// Table set -> source -> table set: the rebuilt tables group every record as
// the original did, also for table sets that no source would produce as
// such; and the source of the rebuilt tables is the source we started from.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/test_files.h"
#include "tables/table_files.h"
#include "tablesource/source_decompiler.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

using Mutation = std::function<void(TableSet&)>;

int positionOf(const TableSet& t, const std::string& code) {
    const std::string padded = testing::padded(code, 6);
    for (uint32_t p = 1; p < t.diagnosisIndex.count; ++p)
        if (std::string(t.diagnosisIndex.code.at(p), 6) == padded) return static_cast<int>(p);
    ADD_FAILURE() << code << " not in the index";
    return 0;
}

int16_t idOf(const TableSet& t, const std::string& code) { return t.diagnosisIndex.id[positionOf(t, code)]; }

// Renumbers diagnosis ids by reversing them, moving every per-code array along.
void reverseDiagnosisIds(TableSet& t) {
    const int n = t.diagnosisIndex.count;
    auto reversed = [n](int id) { return id == 0 ? 0 : n - id; };
    for (auto& id : t.diagnosisIndex.id) id = static_cast<int16_t>(reversed(id));
    auto move = [&](auto& array) {
        auto copy = array;
        for (int id = 1; id < n; ++id) array[reversed(id)] = copy[id];
    };
    move(t.daggerAsterisk.pairBegin), move(t.daggerAsterisk.pairEnd);
    move(t.codeConditions.diagnosisEntryBegin), move(t.codeConditions.diagnosisEntryEnd);
    for (auto& x : t.levelTables) move(x.cclRowBegin), move(x.cclRowEnd);
    for (auto& x : t.exclusionTables) {
        move(x.exclusionBegin), move(x.exclusionEnd);
        for (auto& id : x.exclusionList) id = static_cast<int16_t>(reversed(id));
        for (int id = 1; id < n; ++id)  // lists must stay ascending
            if (x.exclusionBegin[id] < x.exclusionEnd[id])
                std::sort(x.exclusionList.begin() + x.exclusionBegin[id], x.exclusionList.begin() + x.exclusionEnd[id]);
    }
    for (auto& p : t.daggerAsterisk.pairPartner) p = static_cast<int16_t>(reversed(p));
}

// G01 answers to the id of G02: the two codes share everything.
void shareAnId(TableSet& t) { t.diagnosisIndex.id[positionOf(t, "G01")] = idOf(t, "G02"); }

// The first level version covers two diagnosis ids and two ADRG columns fewer.
void shortOlderVersions(TableSet& t) {
    auto& ccl = t.levelTables[0];
    const uint16_t columns = ccl.cclColumnCount - 2;
    std::vector<uint8_t> matrix;
    for (int p = 0; p < ccl.cclProfileCount; ++p)
        matrix.insert(matrix.end(), ccl.cclMatrix.begin() + p * ccl.cclColumnCount,
                      ccl.cclMatrix.begin() + p * ccl.cclColumnCount + columns);
    ccl.cclMatrix = matrix;
    ccl.cclColumnCount = columns;
    ccl.cclDiagnosisCount -= 2;
    ccl.cclRowBegin.resize(ccl.cclDiagnosisCount);
    ccl.cclRowEnd.resize(ccl.cclDiagnosisCount);
    auto& ex = t.exclusionTables[1];
    ex.exclusionDiagnosisCount -= 3;
    ex.exclusionBegin.resize(static_cast<size_t>(ex.exclusionDiagnosisCount));
    ex.exclusionEnd.resize(static_cast<size_t>(ex.exclusionDiagnosisCount));
}

// Rows that no range reaches, ranges that share rows, a decision version
// with fewer ranges than MDCs.
void unreachableAndSharedRows(TableSet& t) {
    auto& d = t.decisionTables[5];
    const int16_t spare = static_cast<int16_t>(d.rowCount);
    d.rowCount += 1;  // a row matching everything, reached by no range
    d.rowValidFrom.push_back(0), d.rowValidTo.push_back(99991231);
    d.rowConditions.insert(d.rowConditions.end(), kRowConditionColumns, 0);
    d.rowMdc.push_back(1), d.rowAdrg.push_back(1);
    (void)spare;
    // MDC 05 (index 2) also scans the rows of range 1 after its own.
    d.rowEnd[2] = d.rowEnd[1] > d.rowEnd[2] ? d.rowEnd[1] : d.rowEnd[2];
    d.rowBegin[2] = d.rowBegin[1];
    auto& old = t.decisionTables[0];
    old.entryCount = 3;
    old.rowBegin.resize(3), old.rowEnd.resize(3);
    auto& ccl = t.levelTables[2];
    ccl.cclRowEnd[idOf(t, "E11.9")] += 0;
    ccl.cclRowCount += 1;  // an unreached level row
    ccl.cclValidFrom.push_back(0), ccl.cclValidTo.push_back(99991231), ccl.cclProfile.push_back(0);
}

// An exclusion list out of order: the membership test sees only part of it.
void unsortedExclusionList(TableSet& t) {
    auto& ex = t.exclusionTables[0];
    const int id = idOf(t, "E11.9");
    std::reverse(ex.exclusionList.begin() + ex.exclusionBegin[id], ex.exclusionList.begin() + ex.exclusionEnd[id]);
}

// A code index out of order: binary search misses some codes.
void unsortedCodeIndex(TableSet& t) {
    auto& x = t.diagnosisIndex;
    std::swap_ranges(x.code.bytes.begin() + 6, x.code.bytes.begin() + 12, x.code.bytes.begin() + 6 * (x.count - 1));
    std::swap(x.id[1], x.id[x.count - 1]);
}

// Everything no grouping step reads but the files hold.
void bytesNobodyReads(TableSet& t) {
    const std::string text = "Fictional test release 2026";
    std::copy(text.begin(), text.end(), t.headers[kFileCcl1].begin() + 40);
    std::copy(text.begin(), text.end(), t.headers[kFileDxIdx].begin() + 10);
    for (size_t p = 1; p < t.diagnosisIndex.spare.size(); ++p) t.diagnosisIndex.spare[p] = 'S';
    t.codeConditions.entryTag[0] = '\0';
    t.conditions.firstSlot[200] = 3;
    std::copy_n("XYZ", 3, t.mdcCodes.text.bytes.begin());
}

// A refined code listed twice: the refinement search takes the first.
void duplicateRefinedCode(TableSet& t) {
    auto& drgs = t.refinedCodes;
    drgs.text.bytes.insert(drgs.text.bytes.end(), drgs.text.at(1), drgs.text.at(1) + 5);
    drgs.count += 1;
    auto& s = t.splits;
    s.splitGroupCount += 1;
    s.splitRowBegin.push_back(s.splitRowBegin[1]), s.splitRowEnd.push_back(s.splitRowEnd[1]);
}

// More conditions than an int16 holds: rows keep condition numbers as int16,
// the count itself is read as unsigned.
void manyConditions(TableSet& t) {
    auto& c = t.conditions;
    c.conditionCount = 40000;
    c.conditionKind.resize(40000, 't');
    c.firstSlot.resize(40000, 1);
    c.lastSlot.resize(40000, 46);
    c.firstSlot[39000] = c.lastSlot[39000] = 1;
}

struct RoundTripCase {
    const char* name;
    Mutation mutate;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, RebuiltTablesGroupEveryRecordIdentically) {
    std::vector<std::string> diagnoses, procedures;
    TableSet generated = generatedRelease(&diagnoses, &procedures).build();
    GetParam().mutate(generated);
    TempDir originalDir, rebuiltDir;
    const TableSet original = writeAndLoad(generated, originalDir.path());

    const source::Source dumped = source::decompileTables(original);
    const TableSet rebuilt = writeAndLoad(compileOrFail(dumped), rebuiltDir.path());
    ASSERT_FALSE(HasFailure()) << "the dumped source does not rebuild";

    const auto records = generatedRecords(diagnoses, procedures, 4000);
    const auto expected = groupAll(original, records);
    const auto actual = groupAll(rebuilt, records);
    size_t differences = 0;
    for (size_t i = 0; i < records.size(); ++i)
        if (expected[i] != actual[i] && ++differences <= 3)
            ADD_FAILURE() << "record " << i << "\n  original " << expected[i].substr(283) << "\n  rebuilt  "
                          << actual[i].substr(283) << "\n  input " << records[i];
    EXPECT_EQ(differences, 0u);

    // The records must reach more than the default results for the comparison to mean anything.
    std::set<std::string> results;
    for (const auto& line : expected) results.insert(line.substr(283, 14));
    EXPECT_GT(results.size(), 12u);

    // Dumping the rebuilt tables gives the same source again.
    std::string difference;
    EXPECT_TRUE(sameSource(dumped, source::decompileTables(rebuilt), &difference)) << difference;
}

INSTANTIATE_TEST_SUITE_P(
    GeneratedTableSets, RoundTrip,
    ::testing::Values(RoundTripCase{"AsBuilt", [](TableSet&) {}}, RoundTripCase{"ReversedIds", reverseDiagnosisIds},
                      RoundTripCase{"SharedId", shareAnId}, RoundTripCase{"ShortOlderVersions", shortOlderVersions},
                      RoundTripCase{"UnreachableAndSharedRows", unreachableAndSharedRows},
                      RoundTripCase{"UnsortedExclusionList", unsortedExclusionList},
                      RoundTripCase{"UnsortedCodeIndex", unsortedCodeIndex},
                      RoundTripCase{"BytesNobodyReads", bytesNobodyReads},
                      RoundTripCase{"DuplicateRefinedCode", duplicateRefinedCode},
                      RoundTripCase{"ManyConditions", manyConditions}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(RoundTrip, KeepsEveryByteThatTheSourceCanHold) {
    TableSet generated = generatedRelease().build();
    bytesNobodyReads(generated);
    TempDir dir, rebuiltDir;
    const TableSet original = writeAndLoad(generated, dir.path());
    writeAndLoad(compileOrFail(source::decompileTables(original)), rebuiltDir.path());
    // Laid out the same way as the generator does, these files come back byte for byte.
    for (const char* file : {"Tdx.idx", "Tcond.idx", "Tcode", "Tmdc.idx"})
        EXPECT_EQ(readFile(dir.file(file)), readFile(rebuiltDir.file(file))) << file;
    EXPECT_EQ(readFile(dir.file("Tccl1")).substr(0, kHeaderSize), readFile(rebuiltDir.file("Tccl1")).substr(0, kHeaderSize));
}

TEST(RoundTrip, SharedIdIsWrittenAsAnExplicitIdColumn) {
    TableSet generated = generatedRelease().build();
    shareAnId(generated);
    const source::Source dumped = source::decompileTables(generated);
    const auto& codes = dumped.at("diagnoses.tsv");
    ASSERT_GE(codes.column("id"), 0);
    std::map<std::string, std::string> idByCode;
    for (const auto& row : codes.rows) idByCode[row.fields[0]] = codes.field(row, "id");
    EXPECT_EQ(idByCode.at("G01"), idByCode.at("G02"));
}

TEST(RoundTrip, UnreachableRowsAreLeftOutAndSharedRowsRepeated) {
    TableSet generated = generatedRelease().build();
    unreachableAndSharedRows(generated);
    const auto& table = generated.decisionTables[5];
    const source::Source dumped = source::decompileTables(generated);
    std::map<std::string, int> rowsPerRange;
    for (const auto& row : dumped.at("decisions-20120701.tsv").rows) ++rowsPerRange[row.fields[0]];
    EXPECT_EQ(rowsPerRange["PRE"], table.rowEnd[1] - table.rowBegin[1]);
    EXPECT_EQ(rowsPerRange["05"], table.rowEnd[2] - table.rowBegin[2]);  // its own rows and those of PRE
    EXPECT_EQ(rowsPerRange["04"], 1);
    EXPECT_EQ(rowsPerRange.size(), 3u);  // the stray row belongs to no range
}

}  // namespace
}  // namespace drg::testing
