// The text layer: escapes that carry any byte, and the reading of files.
#include <gtest/gtest.h>

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
    EXPECT_EQ(file.rows[1].fields, (std::vector<std::string>{"B02", ""}));  // missing trailing fields are empty
    ASSERT_EQ(diagnostics.all().size(), 1u);
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[0], "src"),
              "src/diagnoses.tsv:9: row has 3 fields, the header names 2 columns");
}

TEST(SourceText, ReportsFilesWithoutHeaderRepeatedColumnsAndTooMuch) {
    Diagnostics diagnostics;
    parseSourceText("# only comments\n", "mdcs.tsv", diagnostics);
    parseSourceText("code\tcode\n", "adrgs.tsv", diagnostics);
    parseSourceText("a" + std::string(64, '\t') + "\n", "drgs.tsv", diagnostics);
    EXPECT_EQ(parseSourceText("code\nA\nB\nC\n", "procedures.tsv", diagnostics, 2).rows.size(), 2u);
    ASSERT_EQ(diagnostics.errorCount(), 4);
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[0]), "mdcs.tsv: has no header row");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[1]), "adrgs.tsv:1: column 'code' appears twice");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[2]),
              "drgs.tsv:1: the header names 65 columns, more than the 64 a source file may have");
    EXPECT_EQ(formatDiagnostic(diagnostics.all()[3]),
              "procedures.tsv:4: holds more than 2 rows, the most read without --allow-large");
}

TEST(SourceText, MessagesArePrintableAndCapped) {
    EXPECT_EQ(printable(std::string("a\0b\x7f\xff\xc3\xa9\xe2\x82", 9)), "a\\x00b\\x7f\\xff\xc3\xa9\\xe2\\x82");
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
