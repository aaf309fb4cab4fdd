// `drg synth`: a made-up release at national scale and records for it, in a
// folder where drg-batch can run.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "command.h"
#include "synth/synth_run.h"

namespace drg::cli {
namespace {

struct SynthOptions {
    uint64_t seed = 1;
    uint64_t records = 10000;
    std::string outputDir;
    bool force = false;
};

int fail(const std::string& line) {
    std::fprintf(stderr, "drg synth: %s\n", line.c_str());
    return kExitFailure;
}

// Why synth must not write into `directory`, or "" when it may: the table
// files and valtic.in of a folder someone filled (a real release, records
// of their own) would be replaced without a word.
std::string folderInUse(const std::string& directory, bool force) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (force || !fs::is_directory(directory, error)) return "";  // a missing folder is made; a file is refused later
    const bool empty = fs::directory_iterator(directory, error) == fs::directory_iterator();
    if (error) return directory + ": cannot be listed: " + error.message();
    if (!empty)
        return directory + ": is not empty; synth writes only into a new or empty folder (--force replaces its table "
                           "files and valtic.in)";
    return "";
}

int synthesize(const SynthOptions& options) {
    if (const std::string problem = folderInUse(options.outputDir, options.force); !problem.empty())
        return fail(problem);
    const auto start = std::chrono::steady_clock::now();
    std::string problem;
    synth::SynthRunCounts counts;
    if (!synth::writeSyntheticRun(options.seed, options.records, options.outputDir, &problem, &counts))
        return fail(problem);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote 22 table files (%d diagnoses, %d procedures, %d conditions, %d MDCs, %d ADRGs, %d refined "
                "codes) and %llu records to %s in %.2f s\n",
                counts.diagnoses, counts.procedures, counts.conditions, counts.mdcs, counts.adrgs, counts.refinedCodes,
                static_cast<unsigned long long>(counts.records),
                (std::filesystem::path(options.outputDir) / "valtic.in").c_str(), seconds);
    return kExitOk;
}

}  // namespace

std::function<int()> attachSynth(CLI::App& command) {
    auto options = std::make_shared<SynthOptions>();
    command.add_option("--seed", options->seed, "Seed: the same seed gives the same files on any machine")
        ->capture_default_str()
        ->transform(wholeNumber());
    command.add_option("--records", options->records, "Number of records to write")
        ->capture_default_str()
        ->transform(wholeNumber());
    command.add_option("OUT_DIR", options->outputDir, "Folder to write into: a new or empty one (created when missing)")
        ->required()
        ->check(namedFolder());
    command.add_flag("--force", options->force,
                     "Write into a folder that is not empty: replace its table files and valtic.in, leave other "
                     "files alone");
    return [options] { return synthesize(*options); };
}

}  // namespace drg::cli
