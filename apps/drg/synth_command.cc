// `drg synth`: a made-up release at national scale and records for it, in a
// folder where drg-batch can run.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "command.h"
#include "synth/synth_run.h"

namespace drg::cli {
namespace {

struct SynthOptions {
    uint64_t seed = 1;
    uint64_t records = 10000;
    std::string outputDir;
};

int synthesize(const SynthOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    std::string problem;
    synth::SynthRunCounts counts;
    if (!synth::writeSyntheticRun(options.seed, options.records, options.outputDir, &problem, &counts)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return kExitFailure;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote 22 table files (%d diagnoses, %d procedures, %d conditions, %d MDCs, %d ADRGs, %d refined "
                "codes) and %llu records to %s/valtic.in in %.2f s\n",
                counts.diagnoses, counts.procedures, counts.conditions, counts.mdcs, counts.adrgs, counts.refinedCodes,
                static_cast<unsigned long long>(counts.records), options.outputDir.c_str(), seconds);
    return kExitOk;
}

}  // namespace

std::function<int()> attachSynth(CLI::App& command) {
    auto options = std::make_shared<SynthOptions>();
    command.add_option("--seed", options->seed, "Seed: the same seed gives the same files on any machine")
        ->capture_default_str()
        ->check(wholeNumber());
    command.add_option("--records", options->records, "Number of records to write")
        ->capture_default_str()
        ->check(wholeNumber());
    command.add_option("OUT_DIR", options->outputDir, "Folder to write into (created when missing)")
        ->required()
        ->check(namedFolder());
    return [options] { return synthesize(*options); };
}

}  // namespace drg::cli
