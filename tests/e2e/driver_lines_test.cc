// How the batch program reads and writes lines: short lines padded, long
// lines kept whole, line ends kept, NUL bytes passed through, everything
// upper-cased.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "e2e/driver_support.h"
#include "support/record_builder.h"

namespace drg::testing {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

class DriverLines : public ::testing::Test {
protected:
    void SetUp() override { writeEmptyRelease(dir_.path()); }

    // Runs the program on `input` and returns "valtic.out"; a complete run
    // with no console output is expected unless `console` says otherwise.
    std::string run(const std::string& input, const std::string& console = "") {
        writeFile(dir_.file("valtic.in"), input);
        const ProcessResult r = runBatchProgram(dir_.path());
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, console);
        EXPECT_EQ(r.err, "");
        return readFile(dir_.file("valtic.out"));
    }

    void expectLines(const std::vector<std::string>& lines) {
        const std::string out = run(joined(lines));
        const std::string expected = ungroupedOutput(lines);
        ASSERT_EQ(out.size(), expected.size());
        EXPECT_TRUE(out == expected) << "first difference at byte " << firstDifference(out, expected);
    }

    static size_t firstDifference(const std::string& a, const std::string& b) {
        size_t i = 0;
        while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
        return i;
    }

    TempDir dir_;
};

TEST_F(DriverLines, AnEmptyInputGivesAnEmptyOutput) {
    writeFile(dir_.file("valtic.out"), "old results\n");
    EXPECT_EQ(run(""), "");
}

TEST_F(DriverLines, AShortLineIsPaddedWithBlanksBeforeItsLineEnd) {
    const std::string padding(280, ' ');
    EXPECT_EQ(run("abc\n"), "ABC" + padding + kNoGroupResults + "\n");
    EXPECT_EQ(run("abc\r\n"), "ABC" + padding + kNoGroupResults + "\r\n");
    EXPECT_EQ(run("abc"), "ABC" + padding + kNoGroupResults);  // last line without line end
    EXPECT_EQ(run("\n"), std::string(283, ' ') + kNoGroupResults + "\n");
    EXPECT_EQ(run("\r\n"), std::string(283, ' ') + kNoGroupResults + "\r\n");
    // Only one carriage return belongs to the line end; a lone one is text.
    EXPECT_EQ(run("ab\r\r\n"), "AB\r" + padding + kNoGroupResults + "\r\n");
    EXPECT_EQ(run("ab\rc\n"), "AB\rC" + std::string(279, ' ') + kNoGroupResults + "\n");
    EXPECT_EQ(run("abc\r"), "ABC\r" + std::string(279, ' ') + kNoGroupResults);
    EXPECT_EQ(run("\r"), "\r" + std::string(282, ' ') + kNoGroupResults);
}

TEST_F(DriverLines, LinesAroundTheRecordLength) {
    for (size_t length : {282, 283, 290, 304, 305, 306, 400}) {
        for (const char* end : {"\n", "\r\n", ""}) {
            const std::string line = std::string(length, 'q') + end;
            std::string expected = std::string(length, 'Q');
            if (expected.size() < 305) expected.resize(305, ' ');
            expected.replace(283, 22, kNoGroupResults);
            if (*end == '\0')  // the last line
                EXPECT_EQ(run(line), expected) << length;
            else
                EXPECT_EQ(run(line + "x\n"), expected + end + ungroupedOutput("x\n")) << length << " " << end;
        }
    }
}

TEST_F(DriverLines, ManyShortAndEmptyLinesInARow) {
    expectLines({"\n", "\n", "a\r\n", "\r\n", "bb\n", std::string(305, 'z') + "\n", "\n", "tail"});
}

TEST_F(DriverLines, OldResultColumnsAreOverwritten) {
    std::string line = RecordBuilder().date("20120615").text();
    line.replace(283, 22, "01 B0104B010A420991231");
    const std::string out = run(line + "rest of the line\r\n");
    EXPECT_EQ(out, line.substr(0, 283) + kNoGroupResults + "REST OF THE LINE\r\n");
}

TEST_F(DriverLines, EveryLowerCaseLetterIsUpperCasedAndNoOtherByte) {
    std::string line;
    for (int c = 0; c < 256; ++c)
        if (c != '\n') line += static_cast<char>(c);
    line += line;  // 510 bytes: the record and a tail of every byte
    const std::string out = run(line + "\n");
    ASSERT_EQ(out.size(), line.size() + 1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (i >= 283 && i < 305) continue;
        const char c = line[i];
        const char expected = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        ASSERT_EQ(out[i], expected) << "byte " << i;
    }
    EXPECT_EQ(out.substr(283, 22), kNoGroupResults);
    EXPECT_EQ(out.back(), '\n');
}

TEST_F(DriverLines, NulBytesAreOrdinaryBytes) {
    const std::string nul(1, '\0');
    std::string record = RecordBuilder().date("20120615").text();
    record[0] = '\0';
    record[40] = '\0';    // inside diagnosis slot 2
    record[290] = '\0';   // inside the result columns: overwritten
    const std::vector<std::string> lines = {
        record + "a" + nul + "b\n",       // NUL in the tail
        "ab" + nul + "cd\n",              // short line with a NUL
        nul + "\r\n",                     // a line of one NUL
        std::string(400, '\0') + "\n",    // a long line of NULs
        "x" + nul,                        // last line, no line end
    };
    const std::string out = run(joined(lines));
    EXPECT_EQ(out, ungroupedOutput(lines));
    EXPECT_EQ(out.substr(0, 3), nul + std::string(2, ' ')); // the record kept its NUL, column 1 blank
    EXPECT_EQ(out.substr(305, 5), "A" + nul + "B\n" + "A");
}

TEST_F(DriverLines, ALineLongerThan4095BytesIsOneRecord) {
    std::string longLine(5000, 'k');
    longLine[4095] = 'z';
    longLine[4999] = 'e';
    const std::vector<std::string> lines = {"first\n", longLine + "\r\n", "after\n"};
    const std::string out = run(joined(lines));
    EXPECT_EQ(out, ungroupedOutput(lines));
    EXPECT_EQ(out.size(), 306 + 5002 + 306u);
    EXPECT_EQ(out.substr(306 + 4090, 10), "KKKKKZKKKK");
}

TEST_F(DriverLines, LinesLongerThanOneMebibyteAreOneRecordWithTheirTailUpperCased) {
    auto longLine = [](size_t length, char fill) {
        std::string s(length, fill);
        for (size_t i = 0; i < length; i += 4099) s[i] = 'm';
        s[length - 1] = 'w';
        return s;
    };
    const std::vector<std::string> lines = {
        "short\n",
        longLine(kMiB - 1, 'a') + "\n",        // fills a megabyte exactly, line end included
        longLine(kMiB - 1, 'b') + "\r\n",      // the carriage return ends the first megabyte
        longLine(kMiB, 'c') + "\n",
        longLine(kMiB + 1, 'd') + "\r\n",
        "\n",
        longLine(2 * kMiB + 12345, 'e') + "\n",
        longLine(kMiB + 7, 'f') + "\n",        // two long lines in a row
        "between\r\n",
        longLine(3 * kMiB + 5, 'g'),           // the last line, without line end
    };
    const std::string out = run(joined(lines));
    const std::string expected = ungroupedOutput(lines);
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected) << "first difference at byte " << firstDifference(out, expected);
}

TEST_F(DriverLines, ALongLineCountsAsOneRecord) {
    // 9999 short lines and one of more than a megabyte: 10000 records, so
    // exactly one progress line.
    std::string input;
    const std::string shortLine = RecordBuilder().date("20120615").line();
    for (int i = 0; i < 5000; ++i) input += shortLine;
    input += std::string(kMiB + 100, 'l') + "\n";
    for (int i = 0; i < 4999; ++i) input += shortLine;
    const std::string out = run(input, "record_count = [10000]\n");
    EXPECT_EQ(out.size(), input.size());
}

TEST_F(DriverLines, RandomLinesAcrossBufferBoundaries) {
    std::mt19937 random(20130201);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    std::vector<std::string> lines;
    size_t total = 0;
    while (total < 5 * kMiB) {
        size_t length;
        switch (pick(8)) {
        case 0: length = pick(8); break;
        case 1: length = 300 + pick(10); break;
        case 2: length = 4090 + pick(10); break;
        case 3: length = pick(20) == 0 ? kMiB - 3 + pick(6) : 305; break;
        default: length = pick(700); break;
        }
        std::string line(length, ' ');
        for (char& c : line) {
            c = static_cast<char>(pick(256));
            if (c == '\n') c = 'n';
        }
        const char* ends[] = {"\n", "\r\n", "\r\r\n", "\n"};
        line += ends[pick(4)];
        total += line.size();
        lines.push_back(std::move(line));
    }
    lines.push_back("last line without end\r");
    const std::string out = run(joined(lines), lines.size() >= 10000 ? "record_count = [10000]\n" : "");
    const std::string expected = ungroupedOutput(lines);
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected) << "first difference at byte " << firstDifference(out, expected);
}

// Result texts from the tables stop at a NUL; the rest of the column is blank.
TEST(DriverResultTexts, ANulInATableTextWritesBlanksAfterIt) {
    TempDir dir;
    TableBuilder b;
    const int mdc = b.mdc(std::string("1\0X", 3));
    const int adrg = b.adrg(std::string("B\0\0\0", 4));
    b.drg(std::string("B\0\0\0A", 5));
    b.conditionSlots(100, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.decisionRow({.range = 1, .mustSet = {100}, .mustClear = {}, .mdc = mdc, .adrg = adrg, .dated = {}});
    b.refinementRow(std::string("B\0\0\0", 4), 0, 120, 'A');
    b.splitRow(std::string("B\0\0\0A", 5), "01234");
    b.write(dir.path());
    const std::string record =
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0"}).text();
    writeFile(dir.file("valtic.in"), record + "\n" + record + "\r\n");
    const ProcessResult run = runBatchProgram(dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    const std::string out = readFile(dir.file("valtic.out"));
    ASSERT_EQ(out.size(), 306u + 307u);
    EXPECT_EQ(resultColumns(out.substr(0, 305)), std::string("1  ") + "B   " + "0" + "B     " + "20130201");
    EXPECT_EQ(out.find('\0'), std::string::npos);
    EXPECT_EQ(out.substr(305, 1), "\n");
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
}

TEST(DriverResultTexts, GroupedRecordsGetTheirTextsAndShortGroupedLinesArePadded) {
    TempDir dir;
    groupingRelease().write(dir.path());
    const std::string adult =
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"g40.0", "i10"}).text();
    // Cut after the diagnoses: the blanks put back by padding are the same record.
    const std::string shortAdult = adult.substr(0, 100);
    writeFile(dir.file("valtic.in"), adult + "\n" + shortAdult + "\r\n" + shortAdult);
    const ProcessResult run = runBatchProgram(dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    const std::string out = readFile(dir.file("valtic.out"));
    ASSERT_EQ(out.size(), 306u + 307u + 305u);
    EXPECT_EQ(resultColumns(out.substr(0, 305)), "01 B0103B010BW20130201");
    EXPECT_EQ(out.substr(306, 305), out.substr(0, 305));
    EXPECT_EQ(out.substr(611, 2), "\r\n");
    EXPECT_EQ(out.substr(613), out.substr(0, 305));
}

}  // namespace
}  // namespace drg::testing
