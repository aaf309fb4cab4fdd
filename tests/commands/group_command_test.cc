// `drg group` writes drg-batch's bytes from a file or a pipe on any number of
// threads; its summary counts what it wrote; each failure gives its status
// and one line.
#include <gtest/gtest.h>

#include <csignal>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>

#include "commands/command_test_support.h"

namespace drg::testing {
namespace {

std::vector<std::string> randomInput(unsigned seed, size_t count) {
    std::mt19937 rng(seed);
    std::vector<std::string> lines = mixedLines(rng, count);
    // A line longer than the read window: grouped by its first window, the rest passed through.
    lines.insert(lines.begin() + static_cast<long>(count / 2), std::string((size_t{3} << 19) + 17, 'm') + "\n");
    return lines;
}

TEST(GroupCommand, WritesTheBatchBytesFromAFileOrAPipeOnAnyNumberOfThreads) {
    const char* commands[] = {
        "drg group --tables . in.txt -o out.txt",
        "drg group --tables . --jobs 1 < in.txt > out.txt",
        "drg group --tables . --jobs 2 - -o - < in.txt > out.txt",
        "cat in.txt | drg group --tables . --jobs 2 | cat > out.txt",
        "cat in.txt | drg group --tables . --jobs 3 --quiet > out.txt",
    };
    for (const unsigned seed : {1u, 2u}) {
        GroupedInput run(groupingRelease(), randomInput(seed, 3000));
        ASSERT_EQ(run.batchStatus, 1);
        for (const char* command : commands) {
            const ProcessResult r = runShell(run.dir.path(), command);
            EXPECT_EQ(r.exitStatus, 0) << command << "\n" << r.err;
            EXPECT_EQ(r.err, "") << command;  // no progress when standard error is no terminal
            EXPECT_TRUE(readFile(run.dir.file("out.txt")) == run.batchOutput) << command << ", seed " << seed;
        }
    }
}

uint64_t sumOf(const nlohmann::json& counts) {
    uint64_t sum = 0;
    for (const auto& count : counts) sum += count.get<uint64_t>();
    return sum;
}

TEST(GroupCommand, SummaryCountsAddUpAndMatchTheOutput) {
    std::mt19937 rng(5);
    GroupedInput run(groupingRelease(), mixedLines(rng, 2500));  // PCCL 3 with I10, else 0
    writeFile(run.dir.file("s.json"), std::string(100000, 'x'));  // an old, longer summary is replaced whole
    const ProcessResult r = runShell(run.dir.path(), "drg group --tables . in.txt -o out.txt --summary --summary-json s.json");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const nlohmann::json summary = nlohmann::json::parse(readFile(run.dir.file("s.json")));

    std::map<std::string, uint64_t> byMdc, byDrg;
    std::vector<uint64_t> byPccl(5);
    const std::vector<std::string> lines = outputLines(readFile(run.dir.file("out.txt")));
    for (const auto& line : lines) {
        ++byMdc[line.substr(283, 3)];
        ++byDrg[line.substr(291, 6)];
        ++byPccl.at(static_cast<size_t>(line[290] - '0'));
    }
    const uint64_t records = lines.size();
    EXPECT_EQ(summary["records"], records);
    EXPECT_EQ(summary["byMdc"], nlohmann::json(byMdc));
    EXPECT_EQ(summary["byDrg"], nlohmann::json(byDrg));
    EXPECT_EQ(summary["byPccl"], nlohmann::json(byPccl));
    EXPECT_EQ(summary["withoutMdc"], byMdc["000"]);
    EXPECT_EQ(summary["withoutDrg"], byDrg["000000"]);
    EXPECT_GT(byPccl[0], 0u);
    EXPECT_GT(byPccl[3], 0u);
    EXPECT_GT(summary["withoutMdc"].get<uint64_t>(), 0u);
    EXPECT_LT(summary["withoutMdc"].get<uint64_t>(), records);
    for (const char* counts : {"byMdc", "byDrg", "byPccl"}) EXPECT_EQ(sumOf(summary[counts]), records) << counts;
    EXPECT_GT(summary["seconds"].get<double>(), 0.0);
    EXPECT_NEAR(summary["recordsPerSecond"].get<double>() * summary["seconds"].get<double>(), double(records), 1.0);

    // The text on standard error says the same.
    const auto shows = [](const std::string& err, const std::string& label, uint64_t count) {
        return std::regex_search(err, std::regex(label + " +" + std::to_string(count) + "\\b"));
    };
    EXPECT_TRUE(shows(r.err, "records", records)) << r.err;
    EXPECT_TRUE(shows(r.err, "without MDC", byMdc["000"])) << r.err;
    EXPECT_TRUE(shows(r.err, "without DRG", byDrg["000000"])) << r.err;
    EXPECT_NE(r.err.find("\"B010BW\""), std::string::npos) << r.err;
    const ProcessResult alone = runShell(run.dir.path(), "drg group --tables . in.txt -o out3.txt --summary");
    EXPECT_TRUE(shows(alone.err, "records", records)) << alone.err;

    // "-" puts the same summary on standard output when the records go to a file.
    const ProcessResult piped =
        runShell(run.dir.path(), "drg group --tables . in.txt -o out2.txt --summary-json - > s2.json");
    ASSERT_EQ(piped.exitStatus, 0) << piped.err;
    nlohmann::json onStdout = nlohmann::json::parse(readFile(run.dir.file("s2.json"))), inFile = summary;
    for (nlohmann::json* timed : {&onStdout, &inFile}) {
        timed->erase("seconds");
        timed->erase("recordsPerSecond");
    }
    EXPECT_EQ(onStdout, inFile);
}

struct FailureCase {
    const char* what;
    const char* command;
    int status;
    const char* line;  // the start of the one line on standard error; "" for none
};

// A program that writes a record into the pipe and waits for its result
// gets it, record after record, without ending its input first.
TEST(GroupCommand, AnswersEachRecordOfAPipeThatWaitsForIt) {
    TempDir dir;
    groupingRelease().write(dir.path());
    const RecordBuilder stay = RecordBuilder().birthDate("500615").sex('1').date("20120615");
    const std::string first = RecordBuilder(stay).diagnoses({"I10"}).text();
    const std::string second = RecordBuilder(stay).diagnoses({"G40.0", "I10"}).text();
    writeFile(dir.file("in.txt"), first + "\n" + second + "\n");
    const ProcessResult batch = runProgram(kDrg, dir.path(), {"group", "--tables", ".", "in.txt"});
    ASSERT_EQ(batch.exitStatus, 0) << batch.err;
    const std::string script = "coproc G { exec " + kDrg + " group --tables . --quiet; }\n"
                               "for line in '" + first + "' '" + second + "'; do\n"
                               "  printf '%s\\n' \"$line\" >&${G[1]}\n"
                               "  IFS= read -r -t 10 out <&${G[0]} || exit 9\n"
                               "  printf '%s\\n' \"$out\"\n"
                               "done\n"
                               "exec {G[1]}>&-\n"
                               "wait $G_PID";
    const ProcessResult piped = runProgram("/bin/bash", dir.path(), {"-c", script});
    EXPECT_EQ(piped.exitStatus, 0) << "9: no answer within 10 s\n" << piped.err;
    EXPECT_EQ(piped.out, batch.out);
}

// Stopped by a signal in the middle of a write (here to a pipe that is not
// read for a while), a run ends by that signal with its output whole records.
TEST(GroupCommand, AStopBySignalLeavesWholeRecords) {
    TempDir dir;
    groupingRelease().write(dir.path());
    writeRepeated(dir.file("in.txt"),
                  RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"I10"}).line(), 20000);
    const std::string script = "mkfifo out\n"
                               "( exec " + kDrg + " group --tables . --quiet in.txt > out ) & drg=$!\n"
                               "exec 3< out\n"
                               "sleep 1\n"  // the first job fills the pipe and waits in its write
                               "kill -TERM $drg\n"
                               "cat <&3 > got.txt\n"
                               "wait $drg";
    const ProcessResult whole = runProgram(kDrg, dir.path(), {"group", "--tables", ".", "in.txt"});
    ASSERT_EQ(whole.exitStatus, 0) << whole.err;
    const ProcessResult r = runProgram("/bin/bash", dir.path(), {"-c", script});
    EXPECT_EQ(r.exitStatus, 128 + SIGTERM) << r.err;
    const std::string got = readFile(dir.file("got.txt"));
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), whole.out.size()) << "not stopped";
    EXPECT_EQ(got.size() % (whole.out.size() / 20000), 0u) << got.size() << " bytes: a record cut";
    EXPECT_EQ(whole.out.compare(0, got.size(), got), 0);
}

TEST(GroupCommand, EachFailureGivesItsStatusAndOneLine) {
    TempDir dir;
    groupingRelease().write(dir.path());
    const std::string record =
        RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).line();
    writeRepeated(dir.file("in.txt"), record, 20000);
    std::filesystem::create_directory(dir.file("missing-file"));
    groupingRelease().write(dir.file("missing-file"));
    removeTableFile(dir.file("missing-file"), "Tccl1");
    std::filesystem::create_directory(dir.file("bad-count"));
    groupingRelease().write(dir.file("bad-count"));
    setCountField(dir.file("bad-count"), "Tpccl", 1, "7");
    std::filesystem::create_directory(dir.file("bad-kinds"));
    TableBuilder kinds = groupingRelease();
    kinds.conditionKind(790, 't');
    kinds.write(dir.file("bad-kinds"));
    std::filesystem::create_directory(dir.file("folder"));
    writeFile(dir.file("old.txt"), "old\n");
    writeFile(dir.file("old.json"), "{}\n");

    const FailureCase cases[] = {
        {"missing table file", "drg group --tables missing-file in.txt -o old.txt", 1,
         "drg group: tables in missing-file refused: Tccl1"},
        {"count that disagrees", "drg group --tables bad-count in.txt -o old.txt", 1,
         "drg group: tables in bad-count refused: Tpccl"},
        {"condition kinds", "drg group --tables bad-kinds in.txt -o old.txt", 1,
         "drg group: tables in bad-kinds group no record: Tcond.idx: condition 790"},
        {"input missing", "drg group --tables . no-such.txt -o old.txt", 1, "drg group: cannot open input no-such.txt"},
        {"input is a folder", "drg group --tables . folder -o old.txt", 1,
         "drg group: cannot open input folder: Is a directory"},
        {"input unreadable", "drg group --tables . /proc/self/mem -o out.txt", 1,
         "drg group: cannot read input /proc/self/mem"},
        {"output folder missing", "drg group --tables . in.txt -o no/out.txt", 1,
         "drg group: cannot open output no/out.txt: No such file or directory"},
        // The output opens beside the run; its failure still comes first.
        {"output refused, input unreadable", "drg group --tables . /proc/self/mem -o no/out.txt", 1,
         "drg group: cannot open output no/out.txt"},
        {"output refused, old summary kept", "drg group --tables . in.txt -o no/out.txt --summary-json old.json", 1,
         "drg group: cannot open output no/out.txt"},
        {"output full", "drg group --tables . in.txt -o /dev/full --summary-json old.json", 1,
         "drg group: cannot write output /dev/full"},
        {"summary into the pipe of the records",
         "drg group --tables . in.txt --summary-json /dev/stdout | cat >/dev/null; exit ${PIPESTATUS[0]}", 1,
         "drg group: summary /dev/stdout is the output"},
        {"standard input a folder", "drg group --tables . -o old.txt < folder", 1,
         "drg group: cannot open input standard input: Is a directory"},
        {"unknown command", "drg bogus", 2, "drg: no command 'bogus'"},
        {"output is the input", "cp in.txt copy.txt && drg group --tables . copy.txt -o copy.txt", 1,
         "drg group: output copy.txt is the input"},
        {"standard output appended to the input", "cp in.txt copy2.txt && drg group --tables . copy2.txt >> copy2.txt",
         1, "drg group: output standard output is the input"},
        // A closed standard output is not taken by the file the command opens.
        {"standard output closed", "drg group --tables . in.txt >&-", 1,
         "drg group: cannot write output standard output: Bad file descriptor"},
        {"summary is the input", "cp in.txt copy3.txt && drg group --tables . copy3.txt -o out.txt --summary-json copy3.txt",
         1, "drg group: summary copy3.txt is the input"},
        {"output is a table file", "drg group --tables . in.txt -o ./Tpccl", 1,
         "drg group: ./Tpccl is table file Tpccl of the tables in ."},
        {"summary is the output", "drg group --tables . in.txt -o new.txt --summary-json ./new.txt", 1,
         "drg group: summary ./new.txt is the output"},
        {"summary not writable", "drg group --tables . in.txt -o old.txt --summary-json no/s.json", 1,
         "drg group: cannot open summary no/s.json"},
        {"summary and records on standard output", "drg group --tables . in.txt --summary-json - > out.txt", 2,
         "drg group: --summary-json - and the grouped records would both go to standard output"},
        {"summary and records on -o -", "drg group --tables . no-such.txt -o - --summary-json -", 2,
         "drg group: --summary-json - and the grouped records would both go to standard output"},
        {"summary on standard output appended to the input",
         "cp in.txt copy4.txt && drg group --tables . copy4.txt -o out.txt --summary-json - >> copy4.txt", 1,
         "drg group: summary standard output is the input"},
        {"summary on standard output over the output",
         "drg group --tables . in.txt -o new2.txt --summary-json - > new2.txt", 1,
         "drg group: summary standard output is the output"},
        {"summary to a full standard output", "drg group --tables . in.txt -o out.txt --summary-json - > /dev/full", 1,
         "drg group: cannot write summary to standard output: No space left on device"},
        {"summary to a full standard error", "drg group --tables . in.txt -o out.txt --summary 2>/dev/full", 1, ""},
        {"reader goes away", "drg group --tables . in.txt | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}", 1, ""},
        {"explain: reader goes away", "drg explain --tables . in.txt | head -n 2 >/dev/null; exit ${PIPESTATUS[0]}",
         1, ""},
        {"explain: tables refused", "drg explain --tables missing-file in.txt", 1,
         "drg explain: tables in missing-file refused: Tccl1"},
        {"explain: condition kinds", "drg explain --tables bad-kinds in.txt", 1,
         "drg explain: tables in bad-kinds group no record: Tcond.idx: condition 790"},
        {"explain: standard output appended to the input",
         // The limit stops a run that would read its own output for ever.
         "cp in.txt copy5.txt && ulimit -f 20000 && drg explain --tables . < copy5.txt >> copy5.txt", 1,
         "drg explain: output standard output is the input"},
        {"explain: input unreadable", "drg explain --tables . /proc/self/mem", 1,
         "drg explain: cannot read input /proc/self/mem: Input/output error"},
        {"explain: input missing", "drg explain --tables . no-such.txt", 1,
         "drg explain: cannot open input no-such.txt"},
        // Decimal, whatever its leading zeros: the usual reading takes "010" as 8.
        {"explain: a line number with a leading zero",
         "drg explain --tables . --line 010 in.txt | head -c 8 | grep -qx 'line 10:'", 0, ""},
        {"explain: no such line", "drg explain --tables . --line 3 --line 20001 in.txt >/dev/null", 1,
         "drg explain: in.txt has 20000 lines; no line 20001"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = runShell(dir.path(), c.command);
        EXPECT_EQ(r.exitStatus, c.status) << c.what;
        if (*c.line == '\0') {
            EXPECT_EQ(r.err, "") << c.what;
        } else {
            EXPECT_EQ(r.err.rfind(c.line, 0), 0u) << c.what << ": " << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << ": " << r.err;
        }
    }
    for (const char* copy : {"copy.txt", "copy2.txt", "copy3.txt", "copy4.txt", "copy5.txt"})
        EXPECT_EQ(readFile(dir.file(copy)), readFile(dir.file("in.txt"))) << copy << " emptied or grown";
    // Refused tables, input or summary leave the old output as it was, and a refused output the old summary.
    EXPECT_EQ(readFile(dir.file("old.txt")), "old\n");
    EXPECT_EQ(readFile(dir.file("old.json")), "{}\n");
    EXPECT_FALSE(fileExists(dir.file("-"))) << "a summary written to a file named -";

    // Wrong usage: status 2.
    for (const char* command : {"drg group in.txt", "drg group --tables . --jobs 0 in.txt",
                                "drg group --tables . a.txt b.txt", "drg explain --tables . --line 0 in.txt",
                                "drg explain --tables . --line x in.txt",
                                "drg explain --tables . --line 99999999999999999999999 in.txt"})
        EXPECT_EQ(runShell(dir.path(), command).exitStatus, 2) << command;
}

}  // namespace
}  // namespace drg::testing
