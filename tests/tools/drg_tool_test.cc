// The drg command as a user runs it: exit codes, every source error with its
// file and line, and `tables check` agreeing with the batch program.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/record_builder.h"
#include "support/test_files.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

ProcessResult runTool(const std::string& directory, const std::vector<std::string>& args) {
    return runProgram(DRG_TOOL_PATH, directory, args);
}

void writeFiles(const std::string& directory, const std::map<std::string, std::string>& files) {
    std::filesystem::create_directories(directory);
    for (const auto& [name, text] : files) writeFile(directory + "/" + name, text);
}

struct UsageCase {
    std::vector<std::string> args;
    int exitStatus;
    const char* shows;  // expected in standard output or error
};

TEST(DrgTool, ExitCodesAndHelp) {
    const UsageCase cases[] = {
        {{"--help"}, 0, "tables"},
        {{"--version"}, 0, "drg 1.0"},
        {{"tables", "--help"}, 0, "check"},
        {{"tables", "build", "--help"}, 0, "SRC_DIR"},
        {{"tables", "dump", "--help"}, 0, "TABLE_DIR"},
        {{"tables", "check", "--help"}, 0, "TABLE_DIR"},
        {{"synth", "--help"}, 0, "--records"},
        {{"synth"}, 2, "OUT_DIR"},
        {{"synth", "--records", "many", "out"}, 2, "--records"},
        {{"synth", "--records", "-5", "out"}, 2, "'-5' is not a whole number"},
        {{"synth", "--seed", "99999999999999999999999", "out"}, 2, "--seed"},
        {{"synth", ""}, 2, "an empty folder name"},
        {{"tables", "build", "src", ""}, 2, "an empty folder name"},
        // An unset shell variable would have read the terminal, or written nowhere.
        {{"group", "--tables", ".", ""}, 2, "INPUT: an empty file name"},
        {{"group", "--tables", ".", "-o", ""}, 2, "--output: an empty file name"},
        {{"explain", "--tables", ".", ""}, 2, "INPUT: an empty file name"},
        // Nor may an empty folder name stand for the working folder.
        {{"group", "--tables", "", "in"}, 2, "--tables: an empty folder name"},
        {{"tables", "check", ""}, 2, "TABLE_DIR: an empty folder name"},
        // An unset variable would have dumped without labels and called it done.
        {{"tables", "dump", "t", "s", "--labels-from", ""}, 2, "--labels-from: an empty folder name"},
        {{"diff", "--from", ".", "--to", "", "in"}, 2, "--to: an empty folder name"},
        {{"group", "--tables", ".", "--jobs", "-1"}, 2, "'-1' is not a whole number from 1 to 256"},
        {{"diff", "--from", ".", "--to", ".", "--json", "", "in"}, 2, "--json: an empty file name"},
        {{}, 2, "subcommand is required"},
        {{"tables"}, 2, "subcommand is required"},
        {{"tables", "build", "only-one"}, 2, "OUT_DIR"},
        {{"tables", "compile", "a", "b"}, 2, "drg tables: no command 'compile'"},
        {{"tables", "check", "no-such-folder"}, 1, "no-such-folder: is not a folder"},
        {{"tables", "build", "a", "b", "--strict", "--allow-invalid"}, 2, "excludes"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const ProcessResult r = runTool(dir.path(), c.args);
        EXPECT_EQ(r.exitStatus, c.exitStatus) << c.shows;
        EXPECT_NE((r.out + r.err).find(c.shows), std::string::npos) << r.out << r.err;
    }
}

// Standard output that cannot be written fails every command with status 1
// and one line, or quietly when the reader downstream is gone; a command
// that failed on its own keeps its one line.
TEST(DrgTool, StandardOutputThatCannotBeWrittenFails) {
    TempDir dir;
    generatedRelease().write(dir.path());
    writeFiles(dir.file("src"), kSmallSource);
    std::filesystem::create_directories(dir.file("broken"));
    generatedRelease().write(dir.file("broken"));
    removeTableFile(dir.file("broken"), "Tpccl");
    const std::string tool = DRG_TOOL_PATH;
    const auto full = [&](const std::string& args) { return tool + " " + args + " > /dev/full"; };
    // The reader closes its end and only then lets the command start.
    const auto closedPipe = [&](const std::string& args) {
        return "mkfifo go && { read -r _ < go; exec " + tool + " " + args +
               "; } | { exec 0<&-; echo > go; }; status=${PIPESTATUS[0]}; rm go; exit $status";
    };
    const std::string noSpace = ": cannot write to standard output: No space left on device\n";
    const std::pair<std::string, std::string> cases[] = {  // command, all of standard error
        {full("tables check ."), "drg tables check" + noSpace},
        {full("tables build src built"), "drg tables build" + noSpace},
        {full("tables dump . dumped"), "drg tables dump" + noSpace},
        {full("synth --records 2 synthetic"), "drg synth" + noSpace},
        {full("--help"), "drg" + noSpace},
        {full("tables check --help"), "drg tables check" + noSpace},
        {full("--version"), "drg" + noSpace},
        {closedPipe("tables check ."), ""},
        {closedPipe("--help"), ""},
        {closedPipe("tables check broken"), "broken/Tpccl: cannot be opened: No such file or directory\n"},
    };
    for (const auto& [command, err] : cases) {
        const ProcessResult r = runProgram("/bin/bash", dir.path(), {"-c", command});
        EXPECT_EQ(r.exitStatus, 1) << command << "\n" << r.err;
        EXPECT_EQ(r.err, err) << command;
    }
}

// A source with one mistake per line; each must be reported at its line.
const std::map<std::string, std::string> kBrokenSource = {
    {"release.tsv", "setting\tvalue\ncolour\tred\n"},
    {"conditions.tsv", "condition\tlabel\n100\theart\n100\tagain\n"},
    {"diagnoses.tsv", "code\tlabel\nA01.1\tfever\nA01.1\tagain\nTOOLONG1\tx\n"},
    {"mdcs.tsv", "code\n01\n02\tx\ty\n"},
    {"adrgs.tsv", "code\nB010\n"},
    {"decisions.tsv",
     "range\tmust_hold\tmust_not_hold\tmdc\tadrg\tfrom\tto\n"
     "01\t100:lung\t-\t01\tB010\t-\t-\n"
     "01\t99999\t-\t01\tB010\t-\t-\n"
     "01\t1 2 3 4 5 6 7 8 9 10 11\t-\t01\tB010\t-\t-\n"
     "XX\t-\t-\t01\tB010\t-\t-\n"
     "01\t-\t-\t01\tB99\t2009x\t-\n"},
    {"diagnosis-conditions.tsv", "code\tcondition\tcolour\n"},
    {"levels.tsv",
     "diagnosis\tdefault\tlevels\tfrom\tto\n"
     "Z00\t0\t-\t-\t-\n"
     "A01.1\t0\tB010\t-\t-\n"},
    {"splits.tsv", "refined\tprofile\nB010A\t123\n"},
    {"decisions-20100101.tsv", "range\n"},
    {"procedures.tsv", "code\t\nP01\nP02\n"},
    {"exclusions.tsv",
     [] {
         std::string utf16 = "\xFF\xFE";
         for (char c : std::string("diagnosis\texcluded\nA01.1\tA01.1\n")) utf16 += {c, '\0'};
         return utf16;
     }()},
};

struct ExpectedError {
    const char* where;
    const char* message;
};

TEST(DrgTool, BuildReportsEveryErrorWithFileAndLineAndWritesNothing) {
    TempDir dir;
    writeFiles(dir.file("src"), kBrokenSource);
    const ProcessResult r = runTool(dir.path(), {"tables", "build", "src", "out"});
    EXPECT_EQ(r.exitStatus, 1);
    const ExpectedError expected[] = {
        {"src/release.tsv:2: ", "setting: unknown setting 'colour'"},
        {"src/conditions.tsv:3: ", "condition: condition 100 is already listed at line 2"},
        {"src/diagnoses.tsv:3: ", "code: 'A01.1' is already listed at line 2"},
        {"src/diagnoses.tsv:4: ", "code: code 'TOOLONG1' is longer than 6 characters"},
        {"src/mdcs.tsv:3: ", "row has 3 fields, the header names 1 columns"},
        {"src/decisions.tsv:2: ", "must_hold: condition 100 is labelled 'heart' in conditions.tsv, not 'lung'"},
        {"src/decisions.tsv:3: ", "must_hold: condition '99999' is not a condition number from 0 to 853"},
        {"src/decisions.tsv:4: ", "must_hold: 11 conditions, at most 10 fit"},
        {"src/decisions.tsv:5: ", "range: MDC 'XX' is not listed in mdcs.tsv"},
        {"src/decisions.tsv:6: ", "adrg: ADRG 'B99' is not listed in adrgs.tsv"},
        {"src/decisions.tsv:6: ", "from: '2009x' is not a date"},
        {"src/diagnosis-conditions.tsv:1: ", "unknown column 'colour'"},
        {"src/levels.tsv:2: ", "diagnosis: diagnosis code 'Z00' is not listed in diagnoses.tsv"},
        {"src/levels.tsv:3: ", "levels: 'B010' is not written ADRG=level"},
        {"src/splits.tsv:2: ", "refined: refined code 'B010A' is not listed in refined.tsv"},
        {"src/splits.tsv:2: ", "profile: '123' is not 5 characters"},
        {"src/decisions-20100101.tsv: ", "is not a table source file name: no version of decisions starts on 20100101"},
        {"src/procedures.tsv:1: ", "the header ends in a tab, which names an empty column 2"},
        {"src/exclusions.tsv:1: ", "the file is UTF-16 text; save it as UTF-8"},
    };
    for (const auto& e : expected)
        EXPECT_NE(r.err.find(std::string(e.where) + e.message), std::string::npos)
            << e.where << e.message << "\nnot in:\n" << r.err;
    EXPECT_NE(r.err.find(std::to_string(std::size(expected)) + " errors; no table file written"), std::string::npos)
        << r.err;
    EXPECT_FALSE(fileExists(dir.file("out/Tdx.idx")));
}

TEST(DrgTool, DumpThenBuildGroupsTheSampleRecordsAsTheOriginal) {
    std::vector<std::string> diagnoses, procedures;
    TableBuilder release = generatedRelease(&diagnoses, &procedures);
    TempDir original, rebuilt;
    release.write(original.path());
    std::string records;
    for (const auto& r : generatedRecords(diagnoses, procedures, 500)) records += r + "\n";
    writeFile(original.file("valtic.in"), records);
    writeFile(rebuilt.file("valtic.in"), records);

    ASSERT_EQ(runTool(original.path(), {"tables", "dump", ".", "src"}).exitStatus, 0);
    const ProcessResult built = runTool(original.path(), {"tables", "build", "src", rebuilt.path()});
    ASSERT_EQ(built.exitStatus, 0) << built.err;
    EXPECT_EQ(built.err.find(": error"), std::string::npos) << built.err;  // warnings only
    for (size_t line = 0; line < built.err.size(); line = built.err.find('\n', line) + 1)
        EXPECT_EQ(built.err.compare(built.err.find(": ", line), 11, ": warning: "), 0) << built.err;

    EXPECT_EQ(runBatchProgram(original.path()).exitStatus, 1);
    EXPECT_EQ(runBatchProgram(rebuilt.path()).exitStatus, 1);
    EXPECT_EQ(readFile(original.file("valtic.out")), readFile(rebuilt.file("valtic.out")));
}

TEST(DrgTool, DumpRefusesTablesThatDoNotLoad) {
    TempDir dir;
    generatedRelease().write(dir.path());
    removeTableFile(dir.path(), "Tpccl");
    const ProcessResult r = runTool(dir.path(), {"tables", "dump", ".", "src"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("Tpccl: cannot be opened"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(dir.file("src")));
}

// Damaged table sets: check and the batch program must agree on whether
// they load and on the console line.
struct Damage {
    const char* name;
    std::function<void(const std::string&)> apply;
    const char* file = "";  // the file a refusal names
};

TEST(DrgTool, CheckAgreesWithTheBatchProgram) {
    const Damage damages[] = {
        {"intact", [](const std::string&) {}},
        {"missing Tccedit1", [](const std::string& d) { removeTableFile(d, "Tccedit1"); }, "Tccedit1"},
        {"Tcode count mismatch", [](const std::string& d) { setCountField(d, "Tcode", 1, "3"); }, "Tcode"},
        {"Tccl2 column mismatch", [](const std::string& d) { setCountField(d, "Tccl2", 4, "2"); }, "Tccl2"},
        {"short Tadrg3", [](const std::string& d) { cutFile(d, "Tadrg3", 1); }, "Tadrg3"},
        {"too few conditions", [](const std::string& d) { setCountField(d, "Tcond.idx", 1, "800"); }, "Tcond.idx"},
        {"range beyond the rows", [](const std::string& d) { setCountField(d, "Tadrg5", 2, "1"); }, "Tadrg5"},
        // Loads as an empty first level version: check says what it read.
        {"count not a number", [](const std::string& d) { setCountField(d, "Tccl", 1, "abc"); }},
        {"wrong condition kind",
         [](const std::string& d) {
             std::string bytes = readFile(d + "/Tcond.idx");
             bytes[100 + 790] = 't';
             writeFile(d + "/Tcond.idx", bytes);
         },
         "Tcond.idx"},
    };
    for (const auto& damage : damages) {
        TempDir dir;
        generatedRelease().write(dir.path());
        damage.apply(dir.path());
        writeFile(dir.file("valtic.in"), RecordBuilder().date("20120101").diagnoses({"I21.0"}).line());
        const ProcessResult batch = runBatchProgram(dir.path());
        const ProcessResult check = runTool(dir.path(), {"tables", "check", "."});
        const bool batchGroups = batch.exitStatus == 1 && batch.out.empty();
        EXPECT_EQ(check.exitStatus == 0, batchGroups) << damage.name;
        if (batchGroups) {
            // Counted without entry 0, and said so: the five MDCs.
            EXPECT_NE(check.out.find("Tadrg5       ranges 5  rows"), std::string::npos) << check.out;
            EXPECT_NE(check.out.find("counted without entry 0"), std::string::npos) << check.out;
            EXPECT_EQ(check.err, damage.name == std::string("count not a number")
                                     ? "./Tccl: warning: count field 1 holds 'abc' read as 0\n"
                                     : "")
                << damage.name;
        } else {
            EXPECT_EQ(check.out.substr(check.out.size() - batch.out.size()), batch.out) << damage.name;
            // One line, naming the file at fault.
            EXPECT_EQ(check.err.find("./" + std::string(damage.file) + ": "), 0u) << check.err;
            EXPECT_EQ(check.err.find('\n'), check.err.size() - 1) << check.err;
        }
    }
}

}  // namespace
}  // namespace drg::testing
