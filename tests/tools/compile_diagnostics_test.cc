// One mistake per source: the compiler names it at its file and line, and
// tells warnings (the tables are still built) from errors (they are not).
#include <gtest/gtest.h>

#include "tablesource/source_compiler.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

const std::map<std::string, std::string> kBase = {
    {"diagnoses.tsv", "code\nA01\nB02\n"},
    {"mdcs.tsv", "code\n01\n"},
    {"adrgs.tsv", "code\nB01\n"},
    {"drgs.tsv", "code\nB01A\n"},
};

struct DiagnosticCase {
    std::map<std::string, std::string> files;  // replace or add to the base
    std::string expected;
    bool built;  // only warnings
};

TEST(CompileDiagnostics, NamesEachMistakeAtItsLine) {
    const std::string decisionHeader = "range\tmust_hold\tmust_not_hold\tmdc\tadrg\n";
    const DiagnosticCase cases[] = {
        {{{"diagnoses.tsv", "code\tid\nA01\t5\n"}}, "diagnoses.tsv:2: id 5 is not below the index size 2", false},
        {{{"diagnoses.tsv", "code\nA\\q1\n"}}, "diagnoses.tsv:2: malformed escape in 'A\\q1' (use \\\\ or \\xNN)", false},
        {{{"diagnoses.tsv", "code\na01\n"}},
         "diagnoses.tsv:2: warning: code 'a01' has lower-case letters; records are upper-cased, so it is never found",
         true},
        {{{"release.tsv", "setting\tvalue\ncondition_count\t800\n"}},
         "release.tsv:2: value '800' is not a whole number from 854 to 65535", false},
        {{{"release.tsv", "setting\tvalue\nheader.Tccl\t" + std::string(61, 'x') + "\n"}},
         "release.tsv:2: header text of Tccl is longer than 60 characters", false},
        {{{"conditions.tsv", "condition\tkind\n790\tt\n"}},
         "conditions.tsv:2: warning: condition 790 of kind 't' disagrees with the built-in derived conditions "
         "(782-823 and 853 are 'l', all others 't'); the grouper will stop at the first record",
         true},
        {{{"mdcs.tsv", "code\n01\n01\n"}}, "mdcs.tsv:3: warning: '01' is also listed at line 2; refer to this entry as @2",
         true},
        {{{"decisions.tsv", decisionHeader + "01\t\t-\t01\tB01\n"}},
         "decisions.tsv:2: column 'must_hold' is empty (write '-' for no condition)", false},
        {{{"decisions.tsv", decisionHeader + "@0\t-\t-\t01\tB01\n"}}, "decisions.tsv:2: MDC entry '@0' does not exist",
         false},
        {{{"decisions.tsv", decisionHeader + "01\t855\t-\t01\tB01\n"}},
         "decisions.tsv:2: condition '855' is not a number from 0 to 854", false},
        {{{"dagger-asterisk.tsv", "principal\tpartner\nA01\t-\n"}},
         "dagger-asterisk.tsv:2: a diagnosis code is needed here, not '-'", false},
        {{{"refinements.tsv", "adrg\tmin_age\tmax_age\tsuffix\nB01\t40000\t5\tA\n"}},
         "refinements.tsv:2: min_age '40000' is not a whole number from -32768 to 32767", false},
        {{{"refinements.tsv", "adrg\tmin_age\tmax_age\tsuffix\nB01\t0\t5\tAB\n"}},
         "refinements.tsv:2: suffix 'AB' is not one character", false},
        {{{"levels.tsv", "diagnosis\tdefault\tlevels\nA01\t0\tB01=1 B01=2\n"}},
         "levels.tsv:2: ADRG 'B01' has two levels in this row", false},
        {{{"exclusions.tsv", "diagnosis\texcluded\nA01\tB02 C03\n"}},
         "exclusions.tsv:2: diagnosis code 'C03' is not listed in diagnoses.tsv", false},
        {{{"procedure-conditions.tsv", "code\tcondition\nA01\t5\n"}},
         "procedure-conditions.tsv:2: procedure code 'A01' is not listed in procedures.tsv", false},
        {{{"splits.tsv", "drg\tprofile\tfrom\nB01A\tABCDE\t2012-01-01\n"}},
         "splits.tsv:2: from '2012-01-01' is not a date YYYYMMDD or '-'", false},
        {{{"levels-20120701.tsv", "diagnosis\tlevels\nA01\t-\n"}}, "levels-20120701.tsv:1: column 'default' is missing",
         false},
    };
    for (const auto& c : cases) {
        auto files = kBase;
        for (const auto& [name, text] : c.files) files[name] = text;
        source::Diagnostics diagnostics;
        const auto tables = source::compileSource(parseSource(files), diagnostics);
        EXPECT_EQ(tables.has_value(), c.built) << c.expected;
        ASSERT_EQ(diagnostics.all().size(), 1u) << c.expected;
        EXPECT_EQ(source::formatDiagnostic(diagnostics.all()[0]), c.expected);
    }
}

}  // namespace
}  // namespace drg::testing
