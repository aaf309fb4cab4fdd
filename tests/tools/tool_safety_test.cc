// The drg tool against awkward folders: a build, dump or synth that fails leaves
// the folder exactly as it was, a dump or synth never overwrites a folder
// someone filled without --force, files that are not regular files are
// refused at once, and messages name paths as typed and stay readable and few.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_files.h"
#include "tables/table_loader.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_folder.h"
#include "tablesource/staged_folder.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult runTool(const std::string& directory, const std::vector<std::string>& args) {
    return runProgram(DRG_TOOL_PATH, directory, args);
}

// Every entry below `directory` with the bytes of the files, and the hidden
// entries of the folder itself, where a failed run might leave a temporary folder.
std::map<std::string, std::string> snapshot(const std::string& directory) {
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(directory)) {
        const std::string name = fs::relative(e.path(), directory).string();
        if (name != ".stdout" && name != ".stderr") entries[name] = e.is_regular_file() ? readFile(e.path()) : "/";
    }
    return entries;
}

// "out": a release; "src": its source; "hand": a hand-written source.
void prepareFolders(const TempDir& dir) {
    fs::create_directories(dir.file("out"));
    generatedRelease().write(dir.file("out"));
    ASSERT_EQ(runTool(dir.path(), {"tables", "dump", "out", "src"}).exitStatus, 0);
    fs::create_directories(dir.file("hand"));
    writeFile(dir.file("hand/mdcs.tsv"), "# reviewed by hand\ncode\tlabel\n01\tNervous system\n");
    writeFile(dir.file("hand/notes.txt"), "why the levels changed\n");
}

TEST(ToolSafety, FailedBuildOrDumpLeavesTheFolderAsItWas) {
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> setUp;
        std::vector<std::string> args;
        const char* shows;
    };
    const std::string tool = DRG_TOOL_PATH;
    const Case cases[] = {
        {"a table file that cannot be written", [](const TempDir&) {},
         {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec " + tool + " tables build src out"}, "cannot be written"},
        {"a folder where a table file goes",
         [](const TempDir& d) {
             fs::remove(d.file("out/Tccedit2"));
             fs::create_directories(d.file("out/Tccedit2/x"));
         },
         {tool, "tables", "build", "src", "out"}, "out/Tccedit2: is not a file, so it is not replaced"},
        {"a hand-written source", [](const TempDir&) {}, {tool, "tables", "dump", "out", "hand"},
         "hand: is not empty; a dump writes only into a new or empty folder"},
        {"a folder where a source file goes", [](const TempDir& d) { fs::create_directories(d.file("hand/levels.tsv/x")); },
         {tool, "tables", "dump", "out", "hand", "--force"}, "hand/levels.tsv: is not a file, so it is not replaced"},
        {"a release that does not load", [](const TempDir& d) { setCountField(d.file("out"), "Tcode", 1, "99"); },
         {tool, "tables", "dump", "out", "fresh"}, "tables do not load (file count error): "},
        {"a release synth would replace", [](const TempDir&) {}, {tool, "synth", "--records", "3", "out"},
         "drg synth: out: is not empty; synth writes only into a new or empty folder"},
        {"a synth that runs out of room", [](const TempDir&) {},
         {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 300; exec " + tool + " synth --force --records 5 out"},
         ": cannot be written: File too large; out is unchanged\n"},
        {"a folder where synth puts a table file",
         [](const TempDir& d) {
             fs::remove(d.file("out/Tccl"));
             fs::create_directories(d.file("out/Tccl/x"));
         },
         {tool, "synth", "--force", "--records", "3", "out"},
         "drg synth: out/Tccl: is not a file, so it is not replaced"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        prepareFolders(dir);
        c.setUp(dir);
        const auto before = snapshot(dir.path());
        const std::vector<std::string> args(c.args.begin() + 1, c.args.end());
        const ProcessResult r = runProgram(c.args[0], dir.path(), args);
        EXPECT_EQ(r.exitStatus, 1) << c.name;
        EXPECT_NE(r.err.find(c.shows), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(snapshot(dir.path()), before) << c.name;
    }
}

TEST(ToolSafety, ForcedDumpReplacesOnlySourceFilesAndKeepsTheMeaning) {
    TempDir dir;
    prepareFolders(dir);
    // A stale later version would override what the new source leaves out,
    // and a file under its old name would stand beside the one written.
    writeFile(dir.file("hand/levels-20091201.tsv"), "diagnosis\tdefault\tlevels\nI50.1\t4\t-\n");
    writeFile(dir.file("hand/drgs.tsv"), "code\nZ990Z\n");
    ASSERT_EQ(runTool(dir.path(), {"tables", "dump", "out", "hand", "--force"}).exitStatus, 0);
    EXPECT_EQ(readFile(dir.file("hand/notes.txt")), "why the levels changed\n");
    EXPECT_FALSE(fileExists(dir.file("hand/drgs.tsv")));
    source::Diagnostics diagnostics;
    const TableSet rebuilt = compileOrFail(source::readSourceFolder(dir.file("hand"), diagnostics));
    TableSet original;
    ASSERT_EQ(loadTables(original, dir.file("out")), kLoadOk);
    std::string difference;
    EXPECT_TRUE(sameSource(source::decompileTables(original), source::decompileTables(rebuilt), &difference))
        << difference;
}

// Ctrl-C, SIGTERM or a closed terminal while a release is written aside must
// not leave the staging folder behind, as large as the release and its
// records, nor touch the target; the program still ends by that signal.
TEST(ToolSafety, AStopWhileWritingAsideLeavesNothingBehind) {
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        fs::create_directories(dir.file("out"));
        writeFile(dir.file("out/Tdx.idx"), "old\n");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            source::StagedFolder staged;
            std::string problem;
            if (!staged.open(dir.file("out"), &problem)) ::_exit(3);
            writeFile(staged.path() + "/Tdx.idx", "new\n");
            ::kill(::getpid(), stop);
            ::sleep(10);
            ::_exit(4);  // the stop did not end the program
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == stop) << stop << " " << status;
        EXPECT_EQ(readFile(dir.file("out/Tdx.idx")), "old\n") << stop;
        EXPECT_EQ(snapshot(dir.path()).size(), 2u) << "a temporary folder is left";
    }
}

// Editors and copies leave hidden files beside a source (an editor's lock
// while a file is edited, the metadata file some systems write beside a copy): they are no
// part of it, and a build must not fail on them.
TEST(ToolSafety, HiddenFilesBesideASourceAreNoPartOfIt) {
    TempDir dir;
    writeFile(dir.file("mdcs.tsv"), "code\n01\n");
    writeFile(dir.file("._mdcs.tsv"), std::string("\0\x05\x16\x07\0\x02", 6));
    fs::create_symlink("someone@host.4711:1700000000", dir.file(".#mdcs.tsv"));
    source::Diagnostics diagnostics;
    const source::Source read = source::readSourceFolder(dir.path(), diagnostics);
    for (const auto& d : diagnostics.all()) ADD_FAILURE() << source::formatDiagnostic(d, "src");
    EXPECT_EQ(read.size(), 1u);
    EXPECT_EQ(read.count("mdcs.tsv"), 1u);
}

TEST(ToolSafety, ForcedSynthReplacesItsFilesAndLeavesOthersAlone) {
    TempDir dir;
    fs::create_directories(dir.file("run"));
    writeFile(dir.file("run/notes.txt"), "kept\n");
    writeFile(dir.file("run/valtic.in"), "old records\n");
    const ProcessResult r = runTool(dir.path(), {"synth", "--records", "5", "--force", "run"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("run/notes.txt")), "kept\n");
    const std::string records = readFile(dir.file("run/valtic.in"));
    EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 5) << records;
    EXPECT_EQ(runTool(dir.path(), {"tables", "check", "run"}).exitStatus, 0);
}

// What a link in the folder points to (someone's records, another release)
// is not synth's to overwrite: the link itself is replaced.
TEST(ToolSafety, ForcedSynthReplacesLinksNotWhatTheyPointTo) {
    TempDir dir;
    fs::create_directories(dir.file("run"));
    for (const std::string name : {"valtic.in", "Tdx.idx"}) {
        writeFile(dir.file(name), "kept\n");
        fs::create_symlink("../" + name, dir.file("run/" + name));
    }
    const ProcessResult r = runTool(dir.path(), {"synth", "--records", "5", "--force", "run"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    for (const std::string name : {"valtic.in", "Tdx.idx"}) {
        EXPECT_EQ(readFile(dir.file(name)), "kept\n") << name;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("run/" + name)))) << name;
    }
}

TEST(ToolSafety, FilesThatAreNotRegularFilesAreRefusedAtOnce) {
    TempDir dir;
    prepareFolders(dir);
    ASSERT_EQ(::mkfifo(dir.file("src/procedures.tsv.fifo").c_str(), 0600), 0);
    fs::remove(dir.file("src/procedures.tsv"));
    fs::rename(dir.file("src/procedures.tsv.fifo"), dir.file("src/procedures.tsv"));
    fs::remove(dir.file("src/drgs.tsv"));
    fs::create_symlink("/dev/zero", dir.file("src/drgs.tsv"));
    fs::remove(dir.file("src/mdcs.tsv"));
    fs::create_directories(dir.file("src/mdcs.tsv"));
    const ProcessResult built = runTool(dir.path(), {"tables", "build", "src", "new"});
    EXPECT_EQ(built.exitStatus, 1);
    for (const char* line : {"src/drgs.tsv: is a device, not a file", "src/mdcs.tsv: is a folder, not a file",
                             "src/procedures.tsv: is a FIFO, not a file"})
        EXPECT_NE(built.err.find(line), std::string::npos) << line << "\n" << built.err;

    fs::remove(dir.file("out/Tdx.idx"));
    ASSERT_EQ(::mkfifo(dir.file("out/Tdx.idx").c_str(), 0600), 0);
    const ProcessResult checked = runTool(dir.path(), {"tables", "check", "out"});
    EXPECT_EQ(checked.exitStatus, 1);
    EXPECT_EQ(checked.out, " file init error \n");
    EXPECT_EQ(checked.err, "out/Tdx.idx: is a FIFO, not a file\n");
    const ProcessResult dumped = runTool(dir.path(), {"tables", "dump", "out", "new"});
    EXPECT_EQ(dumped.exitStatus, 1);
    EXPECT_EQ(dumped.err, "out/Tdx.idx: is a FIFO, not a file\n");
    // Grouping loads the tables without that check first: it must not wait on the FIFO either.
    const ProcessResult grouped =
        runProgram("/usr/bin/timeout", dir.path(), {"10", DRG_TOOL_PATH, "group", "--tables", "out", "/dev/null"});
    EXPECT_EQ(grouped.exitStatus, 1);
    EXPECT_NE(grouped.err.find("Tdx.idx: is a FIFO, not a file"), std::string::npos) << grouped.err;
}

// A row of millions of tabs or a condition list of millions of tokens is
// refused without being split up: memory stays near the size of the source.
TEST(ToolSafety, HugeRowsAreRefusedInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers hold freed memory back";
#endif
    TempDir dir;
    fs::create_directories(dir.file("src"));
    constexpr size_t kBytes = 10'000'000;
    writeFile(dir.file("src/diagnoses.tsv"), "code\nA99" + std::string(kBytes, '\t') + "\n");
    std::string conditions;
    for (size_t i = 0; i < kBytes / 2; ++i) conditions += "1 ";
    writeFile(dir.file("src/decisions.tsv"), "range\tmust_hold\tmust_not_hold\tmdc\tadrg\n01\t" + conditions + "\t-\t-\t-\n");
    const ProcessResult r = runTool(dir.path(), {"tables", "build", "src", "out"});
    EXPECT_EQ(r.exitStatus, 1);
    for (const char* shown : {"diagnoses.tsv:2: row has 10000001 fields, the header names 1 columns; a tab ends the row",
                              "decisions.tsv:2: must_hold: 5000000 conditions, at most 10 fit"})
        EXPECT_NE(r.err.find(shown), std::string::npos) << shown << "\n" << r.err;
    EXPECT_LT(r.peakKib, 4 * 2 * static_cast<long>(kBytes) / 1024) << r.err;
}

TEST(ToolSafety, MessagesNamePathsAsTypedAndStayReadableAndFew) {
    TempDir dir;
    fs::create_directories(dir.file("src"));
    writeFile(dir.file("file"), "");
    fs::create_symlink("nowhere/sub", dir.file("gone"));
    std::string tokens;
    for (int i = 0; i < 100000; ++i) tokens += " X=1";
    writeFile(dir.file("src/release.tsv"), std::string("setting\tvalue\nco\0lour\tred\n", 25));
    struct Case {
        std::vector<std::string> args;
        std::string shows;
    };
    const Case cases[] = {
        {{"tables", "build", "/nonexistent", "x"}, "/nonexistent: is not a folder\n"},
        {{"tables", "build", "src/", "./file"}, "src/release.tsv:2: setting: unknown setting 'co\\x00lour'"},
        {{"tables", "build", "good", "./file"}, "./file: is not a folder\n"},
        {{"tables", "build", "good", "file/sub"}, "\nfile: cannot be created: Not a directory\n"},
        {{"tables", "build", "good", "gone"}, "\ngone: is a link to nowhere/sub, which does not exist\n"},
        {{"tables", "dump", ".", "./file"}, "./file: is not a folder\n"},
        {{"tables", "check", "nosuch/"}, "nosuch/: is not a folder\n"},
        {{"tables", "check", "./good"}, "./good: holds a table source (.tsv files), not table files; drg tables build "
                                        "./good OUT_DIR makes them\n"},
        {{"tables", "build", ".", "new"}, ".: holds table files, not a source of .tsv files"},
        {{"tables", "build", "./good", "./file"}, "./good/levels.TSV: warning: ignored: source files end in .tsv "
                                                  "(lower case)\n"},
    };
    generatedRelease().write(dir.path());
    ASSERT_EQ(runTool(dir.path(), {"tables", "dump", ".", "good"}).exitStatus, 0);
    writeFile(dir.file("good/levels.TSV"), "diagnosis\tdefault\tlevels\n");
    for (const auto& c : cases) {
        const ProcessResult r = runTool(dir.path(), c.args);
        EXPECT_EQ(r.exitStatus, 1) << c.shows;
        EXPECT_NE(("\n" + r.err).find(c.shows), std::string::npos) << c.shows << "\nnot in:\n" << r.err;
    }

    // One long line of mistakes: 50 of them, then a count of the rest.
    writeFile(dir.file("src/release.tsv"), "setting\tvalue\n");
    writeFile(dir.file("src/levels.tsv"), "diagnosis\tdefault\tlevels\nA01\t1\t" + tokens + "\n");
    const ProcessResult r = runTool(dir.path(), {"tables", "build", "src", "new"});
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 52) << r.err.substr(0, 500);
    EXPECT_NE(r.err.find("\nand 99951 more errors\n100001 errors; no table file written\n"), std::string::npos)
        << r.err.substr(r.err.size() - 300);
}

}  // namespace
}  // namespace drg::testing
