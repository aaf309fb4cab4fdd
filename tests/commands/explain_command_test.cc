// `drg explain` tells the result drg group writes, with the rows and levels
// worked out by hand for the golden cases, in the order the grouper works.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "commands/command_test_support.h"
#include "e2e/golden_releases.h"

namespace drg::testing {
namespace {

using nlohmann::json;

std::vector<json> explainJson(const std::string& directory, const std::string& arguments = "in.txt") {
    const ProcessResult r = runShell(directory, "drg explain --tables . --json " + arguments);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::vector<json> records;
    for (const auto& line : outputLines(r.out)) records.push_back(json::parse(line));
    return records;
}

TEST(ExplainCommand, JsonAgreesWithGroupOnEveryRecord) {
    std::mt19937 rng(11);
    std::vector<std::string> lines = mixedLines(rng, 1500);
    lines.insert(lines.begin() + 700, std::string((size_t{3} << 19) + 5, 'w') + "\r\n");  // longer than a read
    GroupedInput run(groupingRelease(), lines);
    const std::vector<std::string> grouped = outputLines(run.batchOutput);
    const std::vector<json> explained = explainJson(run.dir.path());
    ASSERT_EQ(explained.size(), grouped.size());
    for (size_t i = 0; i < grouped.size(); ++i) {
        const json& e = explained[i];
        const std::string& line = grouped[i];
        ASSERT_EQ(e["line"], i + 1);
        EXPECT_EQ(e["mdc"], line.substr(283, 3)) << i;
        EXPECT_EQ(e["adrg"], line.substr(286, 4)) << i;
        EXPECT_EQ(e["pccl"], line[290] - '0') << i;
        EXPECT_EQ(e["drg"], line.substr(291, 6)) << i;
        int previous = 0;
        for (const auto& c : e["conditions"]) {
            EXPECT_GT(c.get<int>(), previous) << i;  // ascending, 0 left out
            previous = c.get<int>();
        }
    }
}

// A line piped in is explained once it ends, not once a buffer fills or the
// input closes: the pipe stays open until the answer has come.
TEST(ExplainCommand, ExplainsALineAsSoonAsItArrives) {
    std::mt19937 rng(12);
    GroupedInput run(groupingRelease(), mixedLines(rng, 2));
    const ProcessResult r = runShell(
        run.dir.path(),
        "mkfifo pipe && { drg explain --tables . --json < pipe > out & } && exec 3> pipe && head -n 1 in.txt >&3; "
        "for i in $(seq 100); do [ -s out ] && break; sleep 0.1; done; [ -s out ]; seen=$?; exec 3>&-; wait; "
        "exit $seen");
    EXPECT_EQ(r.exitStatus, 0) << "no explanation while the input stayed open: " << r.err;
}

struct HandWorked {
    const char* rule;
    RecordBuilder record;
    json mdcRow, adrgRow, refinementRow, splitRow;
    json levels;
    const char* drg;
};

void expectHandWorked(const TableBuilder& release, const std::vector<HandWorked>& cases) {
    TempDir dir;
    release.write(dir.path());
    std::string input;
    for (const auto& c : cases) input += c.record.line();
    writeFile(dir.file("in.txt"), input);
    const std::vector<json> explained = explainJson(dir.path());
    ASSERT_EQ(explained.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const json& e = explained[i];
        const HandWorked& c = cases[i];
        EXPECT_EQ(e["mdcRow"], c.mdcRow) << c.rule;
        EXPECT_EQ(e["adrgRow"], c.adrgRow) << c.rule;
        EXPECT_EQ(e["refinementRow"], c.refinementRow) << c.rule;
        EXPECT_EQ(e["splitRow"], c.splitRow) << c.rule;
        EXPECT_EQ(e["levels"], c.levels) << c.rule;
        EXPECT_EQ(e["drg"], c.drg) << c.rule;
    }
}

RecordBuilder stay(const std::vector<std::string>& diagnoses, const std::vector<std::string>& procedures = {},
                   char sex = '1', const char* date = "20120615") {
    return RecordBuilder().birthDate("500615").sex(sex).date(date).diagnoses(diagnoses).procedures(procedures);
}

// Decision rows 0-2 are range 1, 3-4 the range of "05 ", 5-6 that of "08 ".
// Refinement rows by ADRG entry: F020 0, Z999 1, F010 2 (A) and 3 (B), I080 4
// (A) and 5 (B). The one split row is F010B's.
TEST(ExplainCommand, RowsOfTheGoldenGroupingCases) {
    const json none = nullptr, noLevels = json::object();
    expectHandWorked(goldenGroupingRelease(), {
        {"first row of the MDC's range", stay({"I21.0"}, {"1-275"}), 0, 3, 3, 0, noLevels, "F010BA"},
        {"empty row as the range default", stay({"I21.0"}), 0, 4, 0, none, noLevels, "F020Z0"},
        {"PCCL picks the split character", stay({"I21.0", "E11.9"}, {"1-275"}), 0, 3, 3, 0, {{"2", 2}}, "F010BC"},
        {"MDC pass gives no ADRG, ADRG pass does", stay({"S72.0", "E11.9"}, {"5-820"}), 1, 5, 5, none, {{"2", 1}},
         "I080B0"},
        {"ADRG without refinement row", stay({"S72.0"}), 1, 6, none, none, noLevels, "I09000"},
        {"ADRG pass finds nothing", stay({"S72.0"}, {}, '1', "20130101"), 1, none, none, none, noLevels, "000000"},
        {"row with MDC 0 and an ADRG", stay({"X99.9"}), 2, none, 1, none, noLevels, "Z999Z0"},
    });
}

// The text says so when no refinement row or no split row applies.
TEST(ExplainCommand, TextNamesAMissingRefinementOrSplitRow) {
    TempDir dir;
    goldenGroupingRelease().write(dir.path());
    writeFile(dir.file("in.txt"), stay({"I21.0"}).line() + stay({"S72.0"}).line());
    const ProcessResult r = runShell(dir.path(), "drg explain --tables . in.txt");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const size_t second = r.out.find("\n\nline 2:");
    ASSERT_NE(second, std::string::npos) << r.out;
    EXPECT_NE(r.out.substr(0, second).find("split: no split row valid on the date"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("refinement: no row of Taadrg fits the age and date: suffix '0'", second), std::string::npos)
        << r.out;
}

// One decision row, refinement row and split row (all row 0); levels after
// each exclusion rule as worked out by hand.
TEST(ExplainCommand, LevelsOfTheGoldenComplexityCases) {
    expectHandWorked(goldenComplexityRelease(), {
        {"principal exclusion at level 4", stay({"J44.1", "I50.9", "I50.0"}), 0, 0, 0, 0, {{"2", 0}, {"3", 4}},
         "E650CD"},
        {"mutual exclusion at the highest level", stay({"J44.1", "I50.0", "I50.1"}), 0, 0, 0, 0,
         {{"2", 4}, {"3", 0}}, "E650CD"},
        {"highest level cancels a lower one", stay({"J44.1", "N17.9", "E87.1", "D50.0"}), 0, 0, 0, 0,
         {{"2", 3}, {"3", 2}, {"4", 0}}, "E650CD"},
        {"highest level after principal exclusion", stay({"J44.1", "I50.9", "E87.1", "D62"}), 0, 0, 0, 0,
         {{"2", 0}, {"3", 2}, {"4", 0}}, "E650CC"},
        {"373 with sex digit 1", stay({"J44.1", "N95.0"}, {}, '1'), 0, 0, 0, 0, {{"2", 0}}, "E650CA"},
        {"373 with sex digit 2", stay({"J44.1", "N95.0"}, {}, '2'), 0, 0, 0, 0, {{"2", 3}}, "E650CD"},
    });
}

TEST(ExplainCommand, TextFollowsTheGrouperStepByStep) {
    TempDir dir;
    TableBuilder release = groupingRelease();
    release.levelRow("E11", {{"B010", '2'}});
    release.exclusions("E11", {"I10"});  // E11 gives way to I10 at the highest level
    release.write(dir.path());
    writeFile(dir.file("in.txt"),
              stay({"I10"}).line() + stay({"G40.0", "I10", "XX9", "I10", "E11"}).line() +
                  stay({"A17.0", "G01"}).line() + stay({"G40.0", std::string("\x01\x02\x03\x04\x05\x06")}).line());
    const ProcessResult r = runShell(dir.path(), "drg explain --tables . --line 3 --line 4 --line 2 in.txt");
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    // In this order, record 2 before record 3.
    const char* expected[] = {
        "line 2: MDC \"01 \", ADRG \"B010\", PCCL 3, DRG \"B010BW\"",
        "fields: effective date 20120615;",
        "slot  3  XX9     not found",
        "slot  4  I10     id 4, repeats slot 2: counts as empty",
        "tables in force: decisions Tadrg4, levels Tccl1, exclusions Tccedit2",
        " 100  from slot 1 (G40.0)",
        "MDC pass: range 1 (searched for every record), rows 0 to 0; row 0 matched",
        "ADRG pass: range 1 (of MDC \"01 \")",
        "refinement: row 1 of Taadrg gives suffix 'B'; refined code \"B010B\"",
        "cleared by highest-level exclusion: its exclusion list holds slot 2 (I10), at the highest level",
        "gives PCCL 3",
        "split: row 1 chooses profile 1 \"ZYXWV\"; PCCL 3 takes 'W'",
        "result: MDC \"01 \", ADRG \"B010\", PCCL 3, DRG \"B010BW\"",
        "\n\nline 3: ",
        "dagger/asterisk: G01 (slot 2) counts as the principal diagnosis, A17.0 (slot 1) as slot 2",
        // Escaped code texts are shown whole, however long.
        "slot  2  \\x01\\x02\\x03\\x04\\x05\\x06 not found",
    };
    size_t at = 0;
    for (const char* text : expected) {
        const size_t found = r.out.find(text, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << text << "\n" << r.out;
        at = found;
    }
    EXPECT_EQ(r.out.find("line 1:"), std::string::npos);
}

// A code is shown escaped in the text and kept byte for byte (as Latin-1)
// in the JSON, also where it names the diagnosis that cleared a level.
TEST(ExplainCommand, CodeThatClearsALevelIsShownLikeEveryCode) {
    TempDir dir;
    const std::string odd = "I1\xC9";
    TableBuilder release = groupingRelease();
    release.levelRow(odd, {{"B010", '3'}});
    release.levelRow("E11", {{"B010", '2'}});
    release.exclusions("E11", {odd});  // E11 gives way to it at the highest level
    release.write(dir.path());
    writeFile(dir.file("in.txt"), stay({"G40.0", odd, "E11"}).line());

    const ProcessResult text = runShell(dir.path(), "drg explain --tables . in.txt");
    ASSERT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_NE(text.out.find("E11     level 2 (level row 1) -> 0, cleared by highest-level exclusion: its exclusion "
                            "list holds slot 2 (I1\\xc9), at the highest level\n"),
              std::string::npos)
        << text.out;
    EXPECT_EQ(text.out.find('\xC9'), std::string::npos) << text.out;
    const std::vector<json> explained = explainJson(dir.path());
    ASSERT_EQ(explained.size(), 1u);
    EXPECT_EQ(explained[0]["codes"][1]["text"], "I1\xC3\x89");
    EXPECT_EQ(explained[0]["levelDetails"][0]["clearedBy"], nullptr);  // only E11's level is cleared
    EXPECT_EQ(explained[0]["levelDetails"][1]["clearedBy"],
              "highest-level exclusion: its exclusion list holds slot 2 (I1\xC3\x89), at the highest level");
}

}  // namespace
}  // namespace drg::testing
