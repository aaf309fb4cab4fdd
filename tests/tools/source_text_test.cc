// The text layer: escapes that carry any byte, and the reading of files.
#include <gtest/gtest.h>

#include "tablesource/source_layout.h"
#include "tablesource/source_text.h"

namespace drg::source {
namespace {

TEST(SourceText, EveryByteSurvivesEscaping) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    for (const auto& escaped : {escapeToken(all), escapeText(all)}) {
        for (char c : escaped) {
            EXPECT_GE(static_cast<unsigned char>(c), 0x20);
            EXPECT_LE(static_cast<unsigned char>(c), 0x7e);
        }
        std::string back, error;
        ASSERT_TRUE(unescape(escaped, back, error)) << error;
        EXPECT_EQ(back, all);
    }
}

TEST(SourceText, EscapesWhatWouldBeReadOtherwise) {
    struct Case {
        std::string bytes, token, text;
    };
    const Case cases[] = {
        {"A01.1", "A01.1", "A01.1"},
        {"A 1", "A\\x201", "A 1"},               // blanks split list tokens
        {" A", "\\x20A", "\\x20A"},              // leading blanks would be trimmed
        {"A ", "A\\x20", "A\\x20"},
        {"#1", "\\x231", "\\x231"},              // would start a comment
        {"@2", "\\x402", "\\x402"},              // would be an entry reference
        {"-", "\\x2d", "\\x2d"},                 // would mean none
        {"B=3", "B\\x3d3", "B=3"},               // would split a level token
        {std::string("\0\t", 2), "\\x00\\x09", "\\x00\\x09"},
        {"a\\b", "a\\\\b", "a\\\\b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeToken(c.bytes), c.token);
        EXPECT_EQ(escapeText(c.bytes), c.text);
    }
}

TEST(SourceText, RejectsMalformedEscapes) {
    for (const char* text : {"\\", "A\\x4", "\\xZZ", "\\n"}) {
        std::string bytes, error;
        EXPECT_FALSE(unescape(text, bytes, error)) << text;
        EXPECT_NE(error.find("malformed escape"), std::string::npos);
    }
}

TEST(SourceText, ReadsHeaderRowsCommentsAndBlanks) {
    Diagnostics diagnostics;
    const SourceFile file = parseSourceText(
        "# a comment\r\n\ncode\t label \r\n  A01.1 \tfever\n# another\n\nB02\n  # indented comment\nC03\tx\ty\n",
        "diagnoses.tsv", diagnostics);
    EXPECT_EQ(file.columns, (std::vector<std::string>{"code", "label"}));
    EXPECT_EQ(file.headerLine, 3);
    ASSERT_EQ(file.rows.size(), 2u);
    EXPECT_EQ(file.rows[0].line, 4);
    EXPECT_EQ(file.rows[0].fields, (std::vector<std::string>{"A01.1", "fever"}));
    EXPECT_EQ(file.rows[1].fields, (std::vector<std::string>{"B02", ""}));  // a trailing remark may be left out
    ASSERT_EQ(diagnostics.all().size(), 1u);
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[0], "src"),
              "src/diagnoses.tsv:9: row has 3 fields, the header names 2 columns; fields are separated by one tab");
    // Only a '#' before any tab starts a comment: after one it is a field, so the row is read (and checked).
    const SourceFile emptyFirst = parseSourceText("code\tlabel\n\t#x\n", "diagnoses.tsv", diagnostics);
    ASSERT_EQ(emptyFirst.rows.size(), 1u);
    EXPECT_EQ(emptyFirst.rows[0].fields, (std::vector<std::string>{"", "#x"}));
}

// A row with too few fields is refused like one with too many, and the
// message says what its separators suggest.
TEST(SourceText, RowsOfTheWrongLengthNameTheirSeparators) {
    const std::string header = "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tnote\n";
    const std::pair<std::string, std::string> cases[] = {
        {"04\t-\t-\t04 E650\n",
         "decisions.tsv:2: adrg: no field: the row has 4 fields, the header names 6 columns; a blank where a tab was "
         "expected? field 4 (mdc) is '04 E650'"},
        {"04\t- -\t04\tE650\n",
         "decisions.tsv:2: adrg: no field: the row has 4 fields, the header names 6 columns; a blank where a tab was "
         "expected? field 2 (must_hold) is '- -'"},
        {"04,-,-,04,E650\n",
         "decisions.tsv:2: must_hold: no field: the row has 1 fields, the header names 6 columns; the row holds no tab "
         "but commas or semicolons: fields are separated by one tab"},
        {"04\t-\t-\t04\tE650\tnote\t\n",
         "decisions.tsv:2: row has 7 fields, the header names 6 columns; a tab ends the row"},
        {"04\t-\t\t-\t04\tE650\tnote\n",
         "decisions.tsv:2: row has 7 fields, the header names 6 columns; two tabs in a row after field 2 (must_hold)"},
    };
    for (const auto& [row, expected] : cases) {
        Diagnostics diagnostics;
        EXPECT_TRUE(parseSourceText(header + row, "decisions.tsv", diagnostics).rows.empty()) << row;
        ASSERT_EQ(diagnostics.all().size(), 1u) << row;
        EXPECT_EQ(formatDiagnostic(diagnostics.all()[0]), expected);
    }
    Diagnostics diagnostics;  // only the remark at the end may be left out
    EXPECT_EQ(parseSourceText(header + "04\t-\t-\t04\tE650\n", "decisions.tsv", diagnostics).rows.size(), 1u);
    EXPECT_FALSE(diagnostics.hasErrors());
}

// A header whose tab became a blank makes every row too wide: one message,
// at the header, not one per row.
TEST(SourceText, AHeaderNarrowerThanEveryRowIsOneMessage) {
    Diagnostics diagnostics;
    parseSourceText("code label\nA01\tfever\nB02\tcough\n", "diagnoses.tsv", diagnostics);
    ASSERT_EQ(diagnostics.all().size(), 1u);
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[0]),
              "diagnoses.tsv:1: the header names 1 columns, but every row has 2 fields; a blank where a tab was "
              "expected? column 1 is 'code label'");
    Diagnostics mixed;  // a row that fits: the wide ones are the rows' own fault
    parseSourceText("code\tlabel\nA01\tfever\tx\nB02\tcough\nC03\ta\tb\n", "diagnoses.tsv", mixed);
    EXPECT_EQ(mixed.all().size(), 2u);
    // A column too many in the header makes every row too short: one message, and the file is not read.
    Diagnostics narrow;
    EXPECT_FALSE(parseSourceText("code\tlabel\tcomment\nA01\tfever\nB02\tcough\n", "diagnoses.tsv", narrow).usable);
    ASSERT_EQ(narrow.all().size(), 1u);
    EXPECT_EQ(formatDiagnostic(narrow.all()[0]),
              "diagnoses.tsv:1: the header names 3 columns, but every row has 2 fields: a column too many in the header?");
    Diagnostics someShort;
    parseSourceText("code\tlabel\tcomment\nA01\tfever\nB02\tcough\tc\nC03\n", "diagnoses.tsv", someShort);
    EXPECT_EQ(someShort.all().size(), 2u);
}

TEST(SourceText, SkipsAByteOrderMarkAndKeepsComments) {
    Diagnostics diagnostics;
    const std::string text = "# codes\ncode\tlabel\nA01\tfever\n\n# the last\nB02\n# end\n";
    const SourceFile file = parseSourceText("\xEF\xBB\xBF" + text, "diagnoses.tsv", diagnostics);
    EXPECT_FALSE(diagnostics.hasErrors());
    EXPECT_EQ(file.columns, (std::vector<std::string>{"code", "label"}));
    EXPECT_EQ(printSourceText(file, "not written: the file has its own"), text);
}

// Lines that end in a carriage return alone, as some spreadsheet programs
// save text, ran together into one line, which a first '#' made a comment:
// the file was said to have no header. The first such line is named, and
// the file is not read.
TEST(SourceText, ACarriageReturnThatEndsNoLineIsNamed) {
    const std::pair<std::string, std::string> cases[] = {
        {"# codes\rcode\tlabel\rA01\tfever\r", "diagnoses.tsv:1: "},
        {"code\tlabel\r\nA01\tfever\rB02\tcough\r\n", "diagnoses.tsv:2: "},
    };
    for (const auto& [text, where] : cases) {
        Diagnostics diagnostics;
        EXPECT_FALSE(parseSourceText(text, "diagnoses.tsv", diagnostics).usable);
        ASSERT_EQ(diagnostics.all().size(), 1u) << where;
        EXPECT_EQ(formatDiagnostic(diagnostics.all()[0]),
                  where + std::string("a carriage return ends no line here: lines end in LF or CR LF, not CR alone "
                                      "(a carriage return in a field is written \\x0d)"));
    }
    Diagnostics diagnostics;  // CR LF, also for a last line without its LF
    EXPECT_EQ(parseSourceText("code\r\nA01\r\nB02\r", "diagnoses.tsv", diagnostics).rows.size(), 2u);
    EXPECT_FALSE(diagnostics.hasErrors());
}

TEST(SourceText, AWrongFileNameSaysWhyAndWhichNamesThereAre) {
    const std::pair<const char*, std::string> cases[] = {
        {"decisions-20131301.tsv", "'20131301' is not a calendar date YYYYMMDD (decisions.tsv is the first version; "
                                   "later ones start on 20050101, 20090101, 20091001, 20110101, 20120701)"},
        {"levels-20130101.tsv", "no version of levels starts on 20130101 (levels.tsv is the first version; later "
                                "ones start on 20091201, 20120701)"},
        {"splits-20120101.tsv", "splits.tsv has no dated versions"},
        {"drg.tsv", "(the names: release.tsv, conditions.tsv, diagnoses.tsv, procedures.tsv, mdcs.tsv, adrgs.tsv, "
                    "refined.tsv, dagger-asterisk.tsv, diagnosis-conditions.tsv, procedure-conditions.tsv, "
                    "decisions.tsv, refinements.tsv, levels.tsv, exclusions.tsv, splits.tsv; decisions, levels and "
                    "exclusions also have dated versions named like decisions-20090101.tsv)"},
    };
    for (const auto& [name, says] : cases) {
        EXPECT_FALSE(identifySourceFile(name));
        const std::string problem = unknownFileNameProblem(name);
        EXPECT_EQ(problem.rfind("is not a table source file name", 0), 0u) << problem;
        EXPECT_NE(problem.find(says), std::string::npos) << problem;
    }
}

TEST(SourceText, ReportsFilesWithoutHeaderRepeatedColumnsAndTooMuch) {
    Diagnostics diagnostics;
    parseSourceText("# only comments\n", "mdcs.tsv", diagnostics);
    parseSourceText("code\tcode\n", "adrgs.tsv", diagnostics);
    parseSourceText("a" + std::string(64, '\t') + "\n", "refined.tsv", diagnostics);
    EXPECT_EQ(parseSourceText("code\nA\nB\nC\n", "procedures.tsv", diagnostics, 2).rows.size(), 2u);
    // Comments, blank lines and rows in error count as lines: six of them are too many for two rows.
    EXPECT_EQ(parseSourceText("code\n#\n\nA\nB\tx\n#\n#\n", "procedures.tsv", diagnostics, 2).rows.size(), 1u);
    ASSERT_EQ(diagnostics.errorCount(), 6);
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[0]), "mdcs.tsv: has no header row");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[1]), "adrgs.tsv:1: column 'code' appears twice");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[2]),
              "refined.tsv:1: the header names 65 columns, more than the 64 a source file may have");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[3]),
              "procedures.tsv:4: holds more than 2 rows, the most read without --allow-large");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[4]), "procedures.tsv:5: row has 2 fields, the header names 1 columns; fields are separated by one tab");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[5]),
              "procedures.tsv:6: holds more than 5 lines, the most read without --allow-large");
}

TEST(SourceText, MessagesArePrintableAndCapped) {
    EXPECT_EQ(printable(std::string("a\0b\x7f\xff\xc3\xa9\xe2\x82", 9)), "a\\x00b\\x7f\\xff\xc3\xa9\\xe2\\x82");
    // A long field is cut before a character, not inside one.
    EXPECT_EQ(shown(std::string(59, 'a') + "\xc3\xa9" "b"), std::string(59, 'a') + "...");
    EXPECT_EQ(shown(std::string(58, 'a') + "\xc3\xa9" "b"), std::string(58, 'a') + "\xc3\xa9...");
    EXPECT_EQ(joinPath("src/", "a.tsv"), "src/a.tsv");
    EXPECT_EQ(joinPath("src", "a.tsv"), "src/a.tsv");
    Diagnostics diagnostics;
    for (int i = 0; i < 60; ++i) diagnostics.error("a.tsv", i + 1, "bad"), diagnostics.warning("a.tsv", i + 1, "odd");
    EXPECT_EQ(diagnostics.all().size(), 100u);
    EXPECT_EQ(notShownLines(diagnostics), (std::vector<std::string>{"and 10 more errors", "and 10 more warnings"}));
}

TEST(SourceText, PrintedFilesReadBack) {
    Diagnostics diagnostics;
    SourceFile file{0, {"code", "id"}, {{0, {"A01.1", "3"}}, {0, {"B\\x201", "1"}}}};
    const SourceFile back = parseSourceText(printSourceText(file, "codes"), "diagnoses.tsv", diagnostics);
    EXPECT_FALSE(diagnostics.hasErrors());
    EXPECT_TRUE(sameContent(file, back));
}

TEST(SourceText, ListsAndIntegers) {
    EXPECT_EQ(splitList("-"), std::vector<std::string>{});
    EXPECT_EQ(splitList("12  7 800"), (std::vector<std::string>{"12", "7", "800"}));
    EXPECT_EQ(joinList({}), "-");
    EXPECT_EQ(joinList({"a", "b"}), "a b");
    EXPECT_EQ(parseInteger("-17"), -17);
    EXPECT_EQ(parseInteger("+5"), 5);
    for (const char* bad : {"", "-", "1x", "2009-01-01", "1 2", "9999999999999"})
        EXPECT_FALSE(parseInteger(bad).has_value()) << bad;
}

}  // namespace
}  // namespace drg::source
