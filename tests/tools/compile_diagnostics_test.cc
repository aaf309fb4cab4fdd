// One mistake per source: the compiler names it at its file, line and
// column, and tells warnings (the tables are still built) from errors (they
// are not). Values that a release can store but no author means are errors
// that --allow-invalid turns into warnings.
#include <gtest/gtest.h>

#include "tablesource/source_compiler.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

enum Kind { kError, kInvalid, kWarning };

struct DiagnosticCase {
    Files files;  // replace or add to the small source
    std::string expected;
    Kind kind;
};

const std::string kDecisions = "range\tmust_hold\tmust_not_hold\tmdc\tadrg\n";
const std::string kLevels = "diagnosis\tdefault\tlevels\n";
const std::string kRefinements = "adrg\tmin_age\tmax_age\tsuffix\n";
const std::string kSplits = "refined\tprofile\tfrom\tto\n";
const std::string kSplitB010A = kSplits + "B010A\tABCDE\t-\t-\n";
const std::string kGrouped = kDecisions + "01\t-\t-\t01\tB010\n";  // a release that groups
const std::string kRefinedB010 = kRefinements + "B010\t0\t999\tA\n";

const DiagnosticCase kCases[] = {
    {{{"diagnoses.tsv", "code\tid\nA01\t5\n"}}, "diagnoses.tsv:2: id: 5 is not below the index size 2", kError},
    {{{"diagnoses.tsv", "code\nA\\q1\n"}}, "diagnoses.tsv:2: code: malformed escape in 'A\\q1' (use \\\\ or \\xNN)",
     kError},
    {{{"diagnoses.tsv", "code\na01\n"}},
     "diagnoses.tsv:2: warning: code: 'a01' has lower-case letters; records are upper-cased, so it is never found",
     kWarning},
    {{{"release.tsv", "setting\tvalue\ncondition_count\t800\n"}},
     "release.tsv:2: value: '800' is not a whole number from 854 to 65535", kError},
    {{{"release.tsv", "setting\tvalue\nheader.Tccl\t" + std::string(61, 'x') + "\n"}},
     "release.tsv:2: value: header text of Tccl is longer than 60 characters", kError},
    {{{"mdcs.tsv", "code\n01\n01\n"}},
     "mdcs.tsv:3: warning: code: '01' is also listed at line 2; refer to this entry as @2", kWarning},
    {{{"decisions.tsv", kDecisions + "01\t\t-\t01\tB010\n"}},
     "decisions.tsv:2: must_hold: empty field (write '-' for no condition)", kError},
    {{{"decisions.tsv", kDecisions + "@0\t-\t-\t01\tB010\n"}}, "decisions.tsv:2: range: MDC entry '@0' does not exist",
     kError},
    {{{"dagger-asterisk.tsv", "principal\tpartner\nA01\t-\n"}},
     "dagger-asterisk.tsv:2: partner: a diagnosis code is needed here, not '-'", kError},
    {{{"refinements.tsv", kRefinements + "B010\t40000\t5\tA\n"}},
     "refinements.tsv:2: min_age: '40000' is not a whole number from -32768 to 32767", kError},
    {{{"refinements.tsv", kRefinements + "B010\t0\t5\tAB\n"}}, "refinements.tsv:2: suffix: 'AB' is not one character",
     kError},
    {{{"levels.tsv", kLevels + "A01\t0\tB010=1 B010=2\n"}}, "levels.tsv:2: levels: ADRG 'B010' has two levels in this row",
     kError},
    {{{"exclusions.tsv", "diagnosis\texcluded\nA01\tB02 C03\n"}},
     "exclusions.tsv:2: excluded: diagnosis code 'C03' is not listed in diagnoses.tsv", kError},
    {{{"procedure-conditions.tsv", "code\tcondition\nA01\t5\n"}},
     "procedure-conditions.tsv:2: code: procedure code 'A01' is not listed in procedures.tsv", kError},
    {{{"splits.tsv", kSplits + "B010A\tABCDE\t2012-01-01\t-\n"}},
     "splits.tsv:2: from: '2012-01-01' is not a date YYYYMMDD or '-'", kError},
    {{{"levels-20120701.tsv", "diagnosis\tlevels\nA01\t-\n"}}, "levels-20120701.tsv:1: column 'default' is missing",
     kError},
    // One mistake in a header is one message, not one for every row that refers to the file.
    {{{"diagnoses.tsv", "code\tlabl\nA01\tx\nB02\ty\n"}, {"levels.tsv", kLevels + "A01\t1\t-\n"}},
     "diagnoses.tsv:1: unknown column 'labl' (the columns: code, id, spare, label, note)", kError},
    {{{"diagnoses.tsv", "cdoe\nA01\n"}, {"levels.tsv", kLevels + "A01\t1\t-\n"}},
     "diagnoses.tsv:1: unknown column 'cdoe'; missing: code (the columns: code, id, spare, label, note)", kError},
    // A refused id is one message: the rows of that code are not also said to be never read.
    {{{"diagnoses.tsv", "code\tid\nA01\t9\nB02\t2\n"}, {"diagnosis-conditions.tsv", "code\tcondition\nA01\t5\n"}},
     "diagnoses.tsv:2: id: 9 is not below the index size 3", kError},
    // One wording for the conditions there are, wherever a condition is named.
    {{{"decisions.tsv", kDecisions + "01\t855\t-\t01\tB010\n"}},
     "decisions.tsv:2: must_hold: condition '855' is not a condition number from 0 to 853", kError},
    {{{"diagnosis-conditions.tsv", "code\tcondition\nA01\t854\n"}},
     "diagnosis-conditions.tsv:2: condition: condition '854' is not a condition number from 0 to 853", kError},
    {{{"conditions.tsv", "condition\n854\n"}, {"release.tsv", "setting\tvalue\ncondition_count\t854\n"}},
     "conditions.tsv:2: condition: '854' is not a condition number from 0 to 853 (condition_count in release.tsv is "
     "854)",
     kError},
    {{{"splits.tsv", kSplits + "X010A\tABCDE\t-\t-\n"}},
     "splits.tsv:2: refined: refined code 'X010A' is not listed in refined.tsv", kError},
    {{{"diagnoses.tsv", "code\tid\nA01\t2\n"}}, "diagnoses.tsv:2: id: 2 is not below the index size 2", kError},
    {{{"decisions.tsv", kDecisions + "01\t-\t-\t01\t@2\n"}}, "decisions.tsv:2: adrg: ADRG entry '@2' does not exist",
     kError},
    {{{"splits.tsv", kSplits + "B010A\tABCDE\t-3000000000\t-\n"}},
     "splits.tsv:2: from: '-3000000000' is not a date YYYYMMDD or '-'", kError},
    {{{"release.tsv", "setting\tvalue\ncondition_count\t40000\n"},
      {"decisions.tsv", kDecisions + "01\t-\t40000\t01\tB010\n"}},
     "decisions.tsv:2: must_not_hold: condition '40000' is not a condition number from 0 to 32767 (rows hold condition "
     "numbers in 16 bits)",
     kError},

    // What only a mistake writes: stored as written with --allow-invalid.
    {{{"conditions.tsv", "condition\tfirst_slot\tlast_slot\n10\t46\t11\n"}},
     "conditions.tsv:2: first_slot: first slot 46 lies after the last slot 11: no slot raises the condition", kInvalid},
    {{{"conditions.tsv", "condition\tfirst_slot\tlast_slot\n10\t1\t47\n"}},
     "conditions.tsv:2: last_slot: slot 47 is not a slot from 1 to 46", kInvalid},
    {{{"conditions.tsv", "condition\tfirst_slot\tlast_slot\n10\t0\t46\n"}},
     "conditions.tsv:2: first_slot: slot 0 is not a slot from 1 to 46", kInvalid},
    {{{"conditions.tsv", "condition\tkind\n790\tt\n"}},
     "conditions.tsv:2: kind: condition 790 of kind 't' disagrees with the built-in derived conditions (782-823 and "
     "853 are 'l', all others 't'); drg-batch would refuse every record",
     kInvalid},
    {{{"levels.tsv", kLevels + "A01\t0\tB010=x\n"}}, "levels.tsv:2: levels: level 'B010=x' is not a level from 0 to 4",
     kInvalid},
    {{{"levels.tsv", kLevels + "A01\t5\t-\n"}}, "levels.tsv:2: default: '5' is not a level from 0 to 4", kInvalid},
    {{{"refinements.tsv", kRefinements + "B010\t0\t150\tC\n"}},
     "refinements.tsv:2: suffix: gives refined code 'B010C', which is not listed in refined.tsv (the DRG would be "
     "000000)",
     kInvalid},
    {{{"release.tsv", "setting\tvalue\nplaceholder.Taadrg.idx\tB010A\n"},
      {"refinements.tsv", kRefinements + "B010\t0\t150\tA\n"}},
     "refinements.tsv:2: suffix: gives refined code 'B010A', which the placeholder entry (placeholder.Taadrg.idx in "
     "release.tsv) holds too, so the grouper never finds it (the DRG would be 000000)",
     kInvalid},
    {{{"refinements.tsv", kRefinements + "B010\t50\t10\tA\n"}},
     "refinements.tsv:2: min_age: 50 is above max_age 10: the row fits no age", kInvalid},
    {{{"refined.tsv", "code\nB010A\nB010\n"}},
     "refined.tsv:3: code: refined code 'B010' has 4 characters, not the four of an ADRG and a refinement character",
     kInvalid},
    {{{"refined.tsv", "code\nB010A\nC010A\n"}},
     "refined.tsv:3: code: refined code 'C010A' names ADRG 'C010', which is not listed in adrgs.tsv", kInvalid},
    {{{"splits.tsv", kSplits + "B010A\tABCDE\t20131301\t-\n"}},
     "splits.tsv:2: from: '20131301' is not a calendar date YYYYMMDD (or '-' for the open end)", kInvalid},
    {{{"splits.tsv", kSplits + "B010A\tABCDE\t-\t20130231\n"}},
     "splits.tsv:2: to: '20130231' is not a calendar date YYYYMMDD (or '-' for the open end)", kInvalid},
    {{{"splits.tsv", kSplits + "B010A\tABCDE\t130101\t-\n"}},
     "splits.tsv:2: from: '130101' is not a calendar date YYYYMMDD (or '-' for the open end)", kInvalid},
    {{{"splits.tsv", kSplits + "B010A\tABCDE\t20130101\t20120101\n"}},
     "splits.tsv:2: from: 20130101 lies after to 20120101: the row is in force on no day", kInvalid},
    {{{"decisions.tsv", kDecisions + "01\t854\t-\t01\tB010\n"}},
     "decisions.tsv:2: must_hold: condition 854 is the condition count, a condition that never holds (conditions are "
     "numbered from 0 to 853)",
     kInvalid},

    // Legal, but most likely not what the author means.
    {{{"diagnoses.tsv", "code\tid\nA01\t0\nB02\t2\n"}, {"diagnosis-conditions.tsv", "code\tcondition\nA01\t5\n"}},
     "diagnosis-conditions.tsv:2: warning: code: 'A01' has id 0, so this row is never read", kWarning},
    {{{"refinements.tsv", kRefinedB010},
      {"decisions.tsv", kGrouped + "01\t1\t-\t01\tB010\n"}, {"splits.tsv", kSplitB010A},
      {"diagnosis-conditions.tsv", "code\tcondition\nA01\t1\n"}},
     "decisions.tsv:3: warning: must_hold: never used: the row at line 2 of range 01 comes first and holds whenever "
     "this one does (its conditions and dates cover this row's)",
     kWarning},
    {{{"levels.tsv", kLevels + "A01\t1\t-\nA01\t2\t-\n"}},
     "levels.tsv:3: warning: diagnosis: never used: the row at line 2 of A01 comes first and has the same dates",
     kWarning},
    {{{"splits.tsv", kSplitB010A + "B010A\tABCDD\t-\t-\n"}},
     "splits.tsv:3: warning: refined: never used: the row at line 2 of B010A comes first and has the same dates",
     kWarning},
    {{{"splits.tsv", kSplitB010A + "B010A\tABCDD\t20130101\t20130101\n"}},  // a row of one day
     "splits.tsv:3: warning: refined: never used: the row at line 2 of B010A comes first and holds whenever this one "
     "does (its dates cover this row's)",
     kWarning},
    {{{"refinements.tsv", kRefinedB010},
      {"decisions.tsv", kGrouped}, {"splits.tsv", kSplits + "B010A\tABCDE\t20120101\t-\n"}},
     "refined.tsv:2: warning: code: refined code 'B010A' has no split row in force up to 20111231, when its DRG ends "
     "in '0'",
     kWarning},
    {{{"refinements.tsv", kRefinedB010},
      {"decisions.tsv", kGrouped}, {"adrgs.tsv", "code\nB010\nC010\n"}, {"splits.tsv", kSplitB010A}},
     "adrgs.tsv:3: warning: code: no decision row gives ADRG 'C010'", kWarning},
    {{{"refinements.tsv", kRefinedB010},
      {"decisions.tsv", kDecisions + "01\t5\t5\t01\tB010\n01\t-\t-\t01\tB010\n"}, {"splits.tsv", kSplitB010A},
      {"diagnosis-conditions.tsv", "code\tcondition\nA01\t5\n"}},
     "decisions.tsv:2: warning: must_not_hold: condition 5 must hold and must not: the row never holds", kWarning},
    {{{"refinements.tsv", kRefinedB010},
      {"decisions.tsv", kDecisions + "01\t-\t0\t01\tB010\n"}, {"splits.tsv", kSplitB010A}},
     "decisions.tsv:2: warning: must_not_hold: condition 0 always holds, but the grouper reads a 0 here as an empty "
     "place that tests nothing (write '-' or leave it out)",
     kWarning},
    {{{"refinements.tsv", kRefinedB010},
      {"decisions.tsv", kDecisions + "01\t82\t-\t01\tB010\n01\t-\t-\t01\tB010\n"}, {"splits.tsv", kSplitB010A}},
     "decisions.tsv:2: warning: must_hold: condition 82 is raised by no code row and derived by no rule: rows that "
     "ask for it never hold",
     kWarning},
    {{{"diagnosis-conditions.tsv", "code\tcondition\nA01\t820\n"}},
     "diagnosis-conditions.tsv:2: warning: condition: condition 820 is derived from the record; raised by a code as "
     "well, it holds whatever its rule says",
     kWarning},
    {{{"diagnosis-conditions.tsv", "code\tcondition\tfrom\tto\nA01\t7\t-\t-\nB02\t7\t-\t-\nA01\t7\t20100101\t-\n"}},
     "diagnosis-conditions.tsv:4: warning: condition: the code raises condition 7 at line 2 too, on days both rows "
     "cover: it would count twice",
     kWarning},
    {{{"diagnosis-conditions.tsv", "code\tcondition\tfrom\tto\nA01\t7\t-\t20091231\nA01\t7\t20091231\t-\n"}},
     "diagnosis-conditions.tsv:3: warning: condition: the code raises condition 7 at line 2 too, on days both rows "
     "cover: it would count twice",
     kWarning},
    {{{"decisions.tsv", kGrouped}, {"splits.tsv", kSplitB010A}},
     "adrgs.tsv:2: warning: code: ADRG 'B010' has no refinement row, so its stays get DRG 000000", kWarning},
    {{{"refinements.tsv", kRefinedB010}, {"decisions-20110101.tsv", kGrouped}, {"splits.tsv", kSplitB010A}},
     "decisions-20110101.tsv: warning: decisions.tsv (the first version) is missing: stays before 20110101 find no "
     "decision row and get no MDC",
     kWarning},
    {{{"refinements.tsv", kRefinements + "B010\t0\t60\tA\nB010\t65\t999\tA\n"}, {"decisions.tsv", kGrouped},
      {"splits.tsv", kSplitB010A}},
     "adrgs.tsv:2: warning: code: ADRG 'B010' has no refinement row for ages 61 to 64, so its stays get DRG 000000",
     kWarning},
    {{{"refinements.tsv", "adrg\tmin_age\tmax_age\tsuffix\tfrom\tto\nB010\t0\t999\tA\t20120101\t-\n"},
      {"decisions.tsv", kGrouped}, {"splits.tsv", kSplitB010A}},
     "adrgs.tsv:2: warning: code: ADRG 'B010' has no refinement row in force up to 20111231, so its stays get DRG "
     "000000",
     kWarning},
    {{{"conditions.tsv", "condition\tlabel\n12\tspare\n"}},
     "conditions.tsv:2: warning: condition: condition 12 is raised by no code row and tested by no decision row or "
     "derived rule",
     kWarning},
};

TEST(CompileDiagnostics, NamesEachMistakeAtItsLineAndColumn) {
    for (const auto& c : kCases) {
        source::Diagnostics diagnostics;
        const auto tables = source::compileSource(parseSource(with(kSmallSource, c.files)), diagnostics);
        EXPECT_EQ(tables.has_value(), c.kind == kWarning) << c.expected;
        ASSERT_EQ(diagnostics.all().size(), 1u)
            << c.expected << "\nfirst: " << (diagnostics.all().empty() ? "" : formatDiagnostic(diagnostics.all()[0]));
        EXPECT_EQ(source::formatDiagnostic(diagnostics.all()[0]), c.expected);
    }
}

TEST(CompileDiagnostics, AllowInvalidBuildsWhatOnlyAMistakeWritesWithAWarning) {
    for (const auto& c : kCases) {
        if (c.kind != kInvalid) continue;
        bool built = false;
        const std::string first = firstDiagnostic(with(kSmallSource, c.files), allowInvalid(), &built);
        EXPECT_TRUE(built) << c.expected;
        const size_t message = c.expected.find(": ") + 2;  // after "file:line"
        EXPECT_EQ(first, c.expected.substr(0, message) + "warning: " + c.expected.substr(message));
    }
}

// The refined codes were once listed in drgs.tsv and named in the drg
// column of splits.tsv: still read, with a warning.
TEST(CompileDiagnostics, OldNamesAreReadWithAWarning) {
    Files old = kSmallSource;
    old.erase("refined.tsv");
    old["drgs.tsv"] = "code\nB010A\n";
    const std::pair<Files, std::string> cases[] = {
        {old, "drgs.tsv: warning: is the old name of refined.tsv; read as that (rename it)"},
        {with(kSmallSource, {{"splits.tsv", "drg\tprofile\nB010A\tABCDE\n"}}),
         "splits.tsv:1: warning: drg: is the old name of column 'refined'; read as that (rename it)"},
        {with(old, {{"refined.tsv", "code\nB010A\n"}}),
         "drgs.tsv: is the old name of refined.tsv, which is also there (remove one)"},
        {with(kSmallSource, {{"splits.tsv", "drg\trefined\tprofile\nB010A\tB010A\tABCDE\n"}}),
         "splits.tsv:1: drg: is the old name of column 'refined', which is also there"},
    };
    for (const auto& [files, expected] : cases) {
        bool built = false;
        EXPECT_EQ(firstDiagnostic(files, {}, &built), expected);
        EXPECT_EQ(built, expected.find("warning") != std::string::npos) << expected;
    }
    // Read as refined.tsv: the split row finds its refined code.
    EXPECT_EQ(compileOrFail(parseSource(with(old, {{"splits.tsv", "drg\tprofile\nB010A\tABCDE\n"}})))
                  .splits.splitRowEnd[1], 1);
}

TEST(CompileDiagnostics, StrictTurnsWarningsIntoErrors) {
    source::Diagnostics diagnostics;
    diagnostics.treatWarningsAsErrors();
    EXPECT_FALSE(source::compileSource(parseSource(with(kSmallSource, {{"mdcs.tsv", "code\n01\n01\n"}})), diagnostics));
    ASSERT_EQ(diagnostics.errorCount(), 1);
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[0]),
              "mdcs.tsv:3: code: '01' is also listed at line 2; refer to this entry as @2");
}

}  // namespace
}  // namespace drg::testing
