// `drg diff` as a user runs it: two releases, one input, and what the
// report, the changed-records file and the JSON say, checked against two
// runs of the batch program on the same input.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "batch/batch_test_support.h"
#include "support/record_builder.h"
#include "support/test_files.h"
#include "tables/table_writer.h"

namespace drg::testing {
namespace {

constexpr size_t kResultsWidth = 3 + 4 + 1 + 6;  // MDC, ADRG, PCCL, DRG

std::vector<std::string> splitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

// A release in from/ and, in to/, the same with one decision row changed:
// the row that gives principal G40.0 ADRG B010 gives B020 instead, which is
// refined for children only, so adults lose their group.
struct TwoReleases {
    TempDir dir;
    std::string from = dir.file("from"), to = dir.file("to");

    TwoReleases() {
        TableBuilder builder = groupingRelease();
        const int16_t b010 = static_cast<int16_t>(builder.adrg("B010"));
        const int16_t b020 = static_cast<int16_t>(builder.adrg("B020"));
        builder.drg("B020A");
        builder.refinementRow("B020", 0, 17, 'A');
        builder.splitRow("B020A", "ABCDE");
        TableSet tables = builder.build();
        std::filesystem::create_directories(from);
        std::filesystem::create_directories(to);
        EXPECT_TRUE(writeTableFiles(tables, from));
        for (auto& table : tables.decisionTables)
            for (auto& adrg : table.rowAdrg)
                if (adrg == b010) adrg = b020;
        EXPECT_TRUE(writeTableFiles(tables, to));
    }
};

// Lines of every kind, with one overlong CR LF line that reaches the changed row.
std::vector<std::string> diffInput() {
    std::mt19937 random(16);
    std::vector<std::string> lines = mixedLines(random, 3000);
    const std::string adult =
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).text();
    lines[1500] = adult + std::string((size_t{1} << 20) + 100, 'x') + "\r\n";
    return lines;
}

// The result columns of every output line of drg-batch run on `lines` in `tableDir`.
std::vector<std::string> batchResults(const std::string& tableDir, const std::vector<std::string>& lines) {
    writeFile(tableDir + "/valtic.in", joined(lines));
    EXPECT_EQ(runBatchProgram(tableDir).exitStatus, 1);
    std::vector<std::string> results;
    for (const auto& line : splitOn(readFile(tableDir + "/valtic.out"), '\n'))
        results.push_back(line.substr(283, kResultsWidth));
    return results;
}

std::string withoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

TEST(DrgDiff, OneChangedRowMovesExactlyTheRecordsItCatches) {
    TwoReleases releases;
    const auto lines = diffInput();
    const auto before = batchResults(releases.from, lines), after = batchResults(releases.to, lines);
    ASSERT_EQ(before.size(), lines.size());
    ASSERT_EQ(after.size(), lines.size());

    const ProcessResult r = runProgram(DRG_TOOL_PATH, releases.dir.path(),
                                       {"diff", "--from", "from", "--to", "to", "from/valtic.in", "--jobs", "3",
                                        "--changed", "changed.tsv", "--json", "diff.json"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    // Every line whose batch results differ, with both results and the input line; no other.
    std::map<size_t, std::vector<std::string>> changed;
    for (const auto& row : splitOn(readFile(releases.dir.file("changed.tsv")), '\n')) {
        auto fields = splitOn(row, '\t');
        ASSERT_EQ(fields.size(), 10u) << row.substr(0, 80);
        changed[std::stoul(fields[0])] = fields;
    }
    std::map<std::pair<std::string, std::string>, uint64_t> drgMoves, mdcMoves;
    uint64_t changedPccl = 0, lostGroup = 0, gainedGroup = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &a = before[i], &b = after[i];
        const bool caughtByRow = a.substr(3, 4) == "B010";
        ASSERT_EQ(changed.count(i + 1), caughtByRow ? 1u : 0u) << "line " << i + 1 << ": " << a << " / " << b;
        if (!caughtByRow) continue;
        const auto& f = changed[i + 1];
        EXPECT_EQ(f[1] + f[2] + f[3] + f[4], a);
        EXPECT_EQ(f[5] + f[6] + f[7] + f[8], b);
        EXPECT_TRUE(f[9] == withoutLineEnd(lines[i])) << "input line " << i + 1;
        if (a.substr(8) != b.substr(8)) ++drgMoves[{a.substr(8), b.substr(8)}];
        if (a.substr(0, 3) != b.substr(0, 3)) ++mdcMoves[{a.substr(0, 3), b.substr(0, 3)}];
        changedPccl += a[7] != b[7];
        lostGroup += a.substr(8) != "000000" && b.substr(8) == "000000";
        gainedGroup += a.substr(8) == "000000" && b.substr(8) != "000000";
    }
    EXPECT_TRUE(changed.count(1501)) << "the overlong line reaches the changed row";

    const auto json = nlohmann::json::parse(readFile(releases.dir.file("diff.json")));
    EXPECT_EQ(json["records"], lines.size());
    EXPECT_EQ(json["changed"], changed.size());
    EXPECT_EQ(json["changedAdrg"], changed.size());
    EXPECT_EQ(json["changedPccl"], changedPccl);
    EXPECT_EQ(json["lostGroup"], lostGroup);
    EXPECT_EQ(json["gainedGroup"], gainedGroup);
    std::map<std::pair<std::string, std::string>, uint64_t> drgReported, mdcReported;
    uint64_t drgSum = 0, mdcSum = 0;
    auto read = [](const nlohmann::json& list, auto& reported, uint64_t& sum) {
        for (const auto& t : list) {
            const auto count = t["count"].get<uint64_t>();
            reported[{t["from"].get<std::string>(), t["to"].get<std::string>()}] = count;
            sum += count;
        }
    };
    read(json["transitions"], drgReported, drgSum);
    read(json["mdcTransitions"], mdcReported, mdcSum);
    EXPECT_EQ(drgReported, drgMoves);
    EXPECT_EQ(mdcReported, mdcMoves);
    EXPECT_EQ(json["changedDrg"], drgSum);
    EXPECT_EQ(json["changedMdc"], mdcSum);
    EXPECT_GT(drgReported.size(), 1u);
    const auto& listed = json["transitions"];
    EXPECT_GT(listed.front()["count"], listed.back()["count"]);  // largest first
    EXPECT_GT(lostGroup, 0u);
    EXPECT_NE(r.out.find("records read         " + std::to_string(lines.size())), std::string::npos) << r.out;
}

// The same release on both sides changes nothing; a change exits 3 under
// --fail-on-change; a refused release or unusable file fails and says which.
TEST(DrgDiff, ExitStatusSaysWhatHappened) {
    TwoReleases releases;
    TableBuilder disagreeing;
    disagreeing.conditionKind(500, 'l');  // 500 is not a built-in derived condition
    std::filesystem::create_directories(releases.dir.file("disagreeing"));
    disagreeing.write(releases.dir.file("disagreeing"));
    writeFile(releases.dir.file("in"), joined(diffInput()));
    writeFile(releases.dir.file("kept"), "an old report\n");
    struct Case {
        std::vector<std::string> args;
        int exitStatus;
        const char* says;  // on standard error
        int changed;       // in the JSON report; -1 when none is written
    };
    const Case cases[] = {
        {{"--from", "from", "--to", "from", "--fail-on-change", "in"}, 0, "", 0},
        {{"--from", "to", "--to", "to", "in"}, 0, "", 0},
        {{"--from", "from", "--to", "to", "--fail-on-change", "in"}, 3, "", 1},
        {{"--from", "missing", "--to", "to", "in"}, 1, "--from missing: release refused (file init error)", -1},
        {{"--from", "from", "--to", "missing", "in"}, 1, "--to missing: release refused (file init error)", -1},
        {{"--from", "disagreeing", "--to", "to", "in"}, 1, "--from disagreeing: the release refuses", -1},
        {{"--from", "from", "--to", "disagreeing", "in"}, 1, "--to disagreeing: the release refuses", -1},
        {{"--from", "from", "--to", "to", "from"}, 1, "cannot open from: Is a directory", -1},
        {{"--from", "from", "--to", "to", "--changed", "no/such/dir", "in"}, 1, "cannot write no/such/dir", -1},
        {{"--from", "from", "--to", "to", "--changed", "kept", "--json", "no/such/dir", "in"}, 1,
         "cannot write no/such/dir", -1},
        // The JSON report is written at the end: a run that fails keeps the old one.
        {{"--from", "from", "--to", "to", "--json", "kept", "/proc/self/mem"}, 1,
         "cannot read /proc/self/mem after line 0: Input/output error", -1},
        {{"--from", "from", "--to", "to", "--json", "/dev/stdout", "in"}, 1,
         "report /dev/stdout is standard output, which the printed report goes to", -1},
        {{"--from", "from", "in"}, 2, "--to is required", -1},
        {{"--from", "from", "--to", "to", "--jobs", "0", "in"}, 2, "--jobs", -1},
        {{"--from", "from", "--to", "to", "--changed", "in", "in"}, 1, "report in is the input", -1},
        {{"--from", "from", "--to", "to", "--changed", "./diff.json", "in"}, 1, "--changed and --json both name", -1},
        {{"--from", "from", "--to", "to", "--changed", "to/Tpccl", "in"}, 1, "report to/Tpccl is table file Tpccl of --to to", -1},
        {{"--from", "from", "--to", "to", "--changed", "-", "in"}, 2, "standard output holds the report", -1},
        // A report that cannot be written says why (with the JSON report of its own).
        {{"--from", "from", "--to", "to", "--json", "/dev/full", "in"}, 1,
         "drg diff: cannot write /dev/full: No space left on device\n", -1},
        {{"--from", "from", "--to", "to", "--changed", "/dev/full", "--json", "/dev/null", "in"}, 1,
         "drg diff: cannot write /dev/full: No space left on device\n", -1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(releases.dir.file("diff.json"));
        std::vector<std::string> args = {"diff"};
        if (std::find(c.args.begin(), c.args.end(), "--json") == c.args.end())
            args.insert(args.end(), {"--json", "diff.json"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = runProgram(DRG_TOOL_PATH, releases.dir.path(), args);
        EXPECT_EQ(r.exitStatus, c.exitStatus) << c.args[1] << " " << c.says << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        // A run that fails writes no report, and empties none it would have replaced.
        EXPECT_EQ(std::filesystem::exists(releases.dir.file("diff.json")), c.changed >= 0) << c.says;
        if (c.changed < 0) continue;
        const auto json = nlohmann::json::parse(readFile(releases.dir.file("diff.json")));
        EXPECT_EQ(json["from"], c.args[1]);
        EXPECT_EQ(json["to"], c.args[3]);
        EXPECT_EQ(json["input"], "in");
        EXPECT_EQ(json["changed"].get<uint64_t>() > 0, c.changed > 0) << c.args[1];
        EXPECT_EQ(json["transitions"].empty(), c.changed == 0) << c.args[1];
    }
    EXPECT_EQ(readFile(releases.dir.file("in")), joined(diffInput()));  // no report emptied it
    EXPECT_EQ(readFile(releases.dir.file("kept")), "an old report\n");    // nor the other report's failure

    // The printed report would go over a JSON report in the same file, or
    // be appended to the records (named or on standard input).
    const std::pair<const char*, const char*> redirected[] = {
        {"--json kept in > kept", "report kept is standard output, which the printed report goes to"},
        {"in >> in", "standard output is the input, where the printed report would go"},
        {"--fail-on-change < in >> in", "standard output is the input, where the printed report would go"},
    };
    for (const auto& [arguments, says] : redirected) {
        const std::string command = std::string(DRG_TOOL_PATH) + " diff --from from --to to " + arguments;
        const ProcessResult r = runProgram("/bin/sh", releases.dir.path(), {"-c", command});
        EXPECT_EQ(r.exitStatus, 1) << arguments;
        EXPECT_EQ(r.err, std::string("drg diff: ") + says + "\n");
    }
    EXPECT_EQ(readFile(releases.dir.file("in")), joined(diffInput()));
}

// Transitions of equal count come in the byte order of their texts, a byte
// above 0x7f after every ASCII one, whatever the sign of the machine's char.
TEST(DrgDiff, EqualCountsComeInByteOrder) {
    TempDir dir;
    TableSet tables = groupingRelease().build();
    // B010B's split profile: PCCL 0 gives A, any other PCCL the byte C9; all give B under --to.
    auto& characters = tables.splits.splitCharacters;
    const std::string original = "ZYXWV";
    const auto profile = std::search(characters.begin(), characters.end(), original.begin(), original.end());
    ASSERT_NE(profile, characters.end());
    for (const auto& [side, replacement] : {std::pair{"from", "A\xC9\xC9\xC9\xC9"}, std::pair{"to", "BBBBB"}}) {
        std::copy_n(replacement, 5, profile);
        std::filesystem::create_directories(dir.file(side));
        ASSERT_TRUE(writeTableFiles(tables, dir.file(side)));
    }
    const auto adult = RecordBuilder().birthDate("500615").sex('1').date("20120615");
    // The last line ends in a CR alone, which belongs to it; old, longer reports are replaced whole.
    writeFile(dir.file("in"), RecordBuilder(adult).diagnoses({"G40.0", "I10"}).line() +
                                  RecordBuilder(adult).diagnoses({"G40.0"}).text() + "\r");
    for (const char* old : {"diff.json", "changed.tsv"}) writeFile(dir.file(old), std::string(100000, 'x'));
    const ProcessResult r = runProgram(DRG_TOOL_PATH, dir.path(),
                                       {"diff", "--from", "from", "--to", "to", "in", "--json", "diff.json",
                                        "--changed", "changed.tsv"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const std::string changed = readFile(dir.file("changed.tsv"));
    EXPECT_EQ(changed.substr(changed.size() - 2), "\r\n");
    EXPECT_NE(r.out.find("1  B010BA -> B010BB\n           1  B010B\xC9 -> B010BB\n"), std::string::npos) << r.out;
    const ProcessResult top =
        runProgram(DRG_TOOL_PATH, dir.path(), {"diff", "--from", "from", "--to", "to", "in", "--top", "1"});
    EXPECT_NE(top.out.find("(1 of 2):\n           1  B010BA -> B010BB\n\nMDC"), std::string::npos) << top.out;
    const auto json = nlohmann::json::parse(readFile(dir.file("diff.json")));
    EXPECT_EQ(json["transitions"], nlohmann::json::parse(R"([{"count":1,"from":"B010BA","to":"B010BB"},
                                                                {"count":1,"from":"B010B\u00c9","to":"B010BB"}])"));
}

}  // namespace
}  // namespace drg::testing
