// The edges of the file formats as a source meets them: every value beyond
// a 16-bit field is named at its line instead of wrapping, a source at the
// limits builds and dumps back, sizes past the limit are refused with their
// size, and the bytes that once changed meaning between dump and build keep it.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/record_builder.h"
#include "support/test_files.h"
#include "tablesource/source_compiler.h"
#include "tablesource/source_decompiler.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

// "code\n" and `count` codes: `format` applied to 0, 1, ...
std::string codeList(const char* format, int count) {
    std::string text = "code\n";
    char code[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(code, sizeof code, format, i);
        text += std::string(code) + "\n";
    }
    return text;
}

const Files& kSmall = kSmallSource;

// The first diagnostic of a source that must not build.
std::string firstError(const Files& files, const source::CompileOptions& options = {}) {
    bool built = true;
    const std::string first = firstDiagnostic(files, options, &built);
    EXPECT_FALSE(built) << first;
    return first;
}

TEST(SourceLimits, ValuesBeyondTheirFieldsAreNamedAtTheirLine) {
    const std::string decisions = "range\tmust_hold\tmust_not_hold\tmdc\tadrg\n";
    const std::string manyDiagnoses = codeList("Z%05d", 33000), manyProcedures = codeList("%05d", 33000);
    const std::string idsEnd = "' and 232 more after it in sorted order would get ids from 32768 on, but ids end at "
                               "32767 (list fewer codes, or give ids in an 'id' column; codes may share one)";
    const std::pair<Files, std::string> cases[] = {
        // A high code referred to from every kind of row once wrote far outside an array.
        {{{"diagnoses.tsv", manyDiagnoses}, {"diagnosis-conditions.tsv", "code\tcondition\nZ32999\t5\n"}},
         "diagnoses.tsv:32769: code: 'Z32767" + idsEnd},
        {{{"diagnoses.tsv", manyDiagnoses}, {"levels.tsv", "diagnosis\tdefault\tlevels\nZ32999\t1\tB010=2\n"}},
         "diagnoses.tsv:32769: code: 'Z32767" + idsEnd},
        {{{"diagnoses.tsv", manyDiagnoses}, {"exclusions.tsv", "diagnosis\texcluded\nZ32999\tZ00001\n"}},
         "diagnoses.tsv:32769: code: 'Z32767" + idsEnd},
        {{{"diagnoses.tsv", manyDiagnoses}, {"dagger-asterisk.tsv", "principal\tpartner\nZ32999\tZ00001\n"}},
         "diagnoses.tsv:32769: code: 'Z32767" + idsEnd},
        {{{"procedures.tsv", manyProcedures}, {"procedure-conditions.tsv", "code\tcondition\n32999\t5\n"}},
         "procedures.tsv:32769: code: '32767" + idsEnd},
        {{{"adrgs.tsv", codeList("%04X", 32768)}},
         "adrgs.tsv:32769: more than 32767 entries (decision rows name them in 16-bit fields)"},
        {{{"decisions.tsv", decisions + "01\t-\t-\t01\t@40000\n"}}, "decisions.tsv:2: adrg: ADRG entry '@40000' does not exist"},
        {{{"decisions.tsv", decisions + [] {
               std::string rows;
               for (int i = 0; i < 32768; ++i) rows += "01\t-\t-\t01\tB010\n";
               return rows;
           }()}},
         "decisions.tsv:32769: more than 32767 rows (its row ranges are 16-bit numbers)"},
        {{{"diagnoses.tsv", codeList("Z%05d", 256)}, {"exclusions.tsv", [] {
               std::string all = codeList("Z%05d", 256).substr(5), rows = "diagnosis\texcluded\n";
               for (char& c : all) c = c == '\n' ? ' ' : c;
               for (size_t i = 0; i < 256; ++i) rows += all.substr(7 * i, 6) + "\t" + all + "\n";
               return rows;  // 256 x 256 entries, one more than the first version's 16-bit count
           }()}},
         "exclusions.tsv:257: more than 65535 list entries (this version counts them in a 16-bit number)"},
    };
    for (const auto& [files, expected] : cases) EXPECT_EQ(firstError(with(kSmall, files)), expected);
}

TEST(SourceLimits, SourceAtTheLimitsBuildsAndDumpsBack) {
    std::string levels = "diagnosis\tdefault\tlevels\nZ32766\t1\t", decisions = "range\tmust_hold\tmust_not_hold\tmdc\tadrg\n";
    char adrg[8];
    for (int entry = 1; entry <= 32767; entry += 2) {  // entry n of the ADRG list is n - 1 in hex
        std::snprintf(adrg, sizeof adrg, "%04X", entry - 1);
        levels += (entry > 1 ? " " : "") + std::string(adrg) + "=3";
    }
    decisions += "01\t-\t-\t01\t7FFE\n";
    const source::Source original = parseSource(with(kSmall, {{"diagnoses.tsv", codeList("Z%05d", 32767)},
                                                              {"adrgs.tsv", codeList("%04X", 32767)},
                                                              {"refined.tsv", "code\n0000A\n"},
                                                              {"levels.tsv", levels + "\n"},
                                                              {"decisions.tsv", decisions}}));
    const TableSet built = compileOrFail(original);
    ASSERT_EQ(built.diagnosisIndex.count, 32768);
    EXPECT_EQ(built.diagnosisIndex.id.back(), 32767);
    EXPECT_EQ(built.decisionTables[0].rowAdrg[0], 32767);
    const TableSet rebuilt = compileOrFail(source::decompileTables(built));
    std::string difference;  // the levels of all 32767 ADRGs included
    EXPECT_TRUE(sameSource(source::decompileTables(built), source::decompileTables(rebuilt), &difference)) << difference;
}

TEST(SourceLimits, SizesPastTheLimitAreRefusedWithTheirSize) {
    // Two distinct level profiles over 2 ADRG columns: a 4-byte matrix.
    const Files levels = {{"levels.tsv", "diagnosis\tdefault\tlevels\nA01\t1\tB010=2\nB02\t3\t-\n"}};
    EXPECT_EQ(firstError(with(kSmall, levels), {3}),
              "levels.tsv: the complication level matrix would take 0.0 MiB (2 distinct level profiles x 2 ADRG "
              "columns), more than the 0.0 MiB allowed without --allow-large");
    EXPECT_EQ(firstError(with(kSmall, levels), {100}),
              "Tdx.idx: would take 0.0 MiB, more than the 0.0 MiB allowed without --allow-large");

    // Ranges that overlap: every ADRG range holds all rows, so the source repeats them all for each.
    TableSet overlapping = compileOrFail(parseSource(with(kSmall, {{"refinements.tsv",
                                                                    "adrg\tmin_age\tmax_age\tsuffix\nB010\t0\t1\tA\n"}})));
    std::string problem;
    EXPECT_TRUE(source::decompileTables(overlapping, 1000, &problem).has_value());
    auto& r = overlapping.refinement;
    for (int copy = 0; copy < 200; ++copy) r.refinementMinAge.push_back(0), r.refinementMaxAge.push_back(1);
    r.refinementValidFrom.resize(201), r.refinementValidTo.resize(201, 99991231), r.refinementSuffix.resize(201, 'A');
    r.rowCount = 201, r.refinementEnd[1] = 201;
    EXPECT_FALSE(source::decompileTables(overlapping, 1000, &problem).has_value());
    EXPECT_EQ(problem, "its source would take about 0.0 MiB (refinements.tsv passes the 0.0 MiB allowed without "
                       "--allow-large)");
}

// Group one record: a blank principal diagnosis and B02 as the secondary.
std::string groupBlankPrincipal(const TableSet& tables) {
    return groupOutcomes(tables, {RecordBuilder().birthDate("500101").sex('1').date("20130101")
                                      .diagnoses({"", "B02"}).text()})[0];
}

TEST(SourceLimits, DumpAndBuildKeepWhatTheSourceSaid) {
    const Files groups = {{"decisions.tsv", "range\tmust_hold\tmust_not_hold\tmdc\tadrg\n01\t-\t-\t01\tB010\n"},
                          {"levels.tsv", "diagnosis\tdefault\tlevels\nB02\t3\t-\n"},
                          {"refinements.tsv", "adrg\tmin_age\tmax_age\tsuffix\nB010\t0\t150\tA\n"},
                          {"splits.tsv", "refined\tprofile\nB010A\t01234\n"}};
    struct Case {
        Files files;
        char pccl;  // of the record with a blank principal and B02
    };
    const Case cases[] = {
        {{}, '3'},
        {{{"exclusions.tsv", "diagnosis\texcluded\nB02\t- -\n"}}, '0'},  // the empty principal cancels B02
        {{{"exclusions.tsv", "diagnosis\texcluded\nB02\t-\n"}}, '0'},    // also when it stands alone
        {{{"conditions.tsv", "condition\tkind\n5\t\\x00\n"}}, ' '},      // a NUL kind refuses every record
    };
    for (const auto& c : cases) {
        TempDir builtDir, rebuiltDir;
        const source::Source written = parseSource(with(with(kSmall, groups), c.files));
        const TableSet built = writeAndLoad(compileOrFail(written, allowInvalid()), builtDir.path());
        const TableSet rebuilt =
            writeAndLoad(compileOrFail(source::decompileTables(built), allowInvalid()), rebuiltDir.path());
        const std::string expected = groupBlankPrincipal(built);
        EXPECT_EQ(expected.substr(2 + kPcclOut.offset, 1), std::string(1, c.pccl)) << expected;
        EXPECT_EQ(expected[0] == '-', c.pccl == ' ') << expected;
        EXPECT_EQ(groupBlankPrincipal(rebuilt), expected);
    }
}

}  // namespace
}  // namespace drg::testing
