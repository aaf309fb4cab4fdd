#include "synth/synth_run.h"

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "synth/synthetic_records.h"
#include "synth/synthetic_release.h"
#include "tables/table_writer.h"

namespace drg::synth {

bool writeSyntheticRun(uint64_t seed, uint64_t records, const std::string& directory, std::string* problem,
                       SynthRunCounts* counts) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        *problem = directory + ": cannot be created (" + error.message() + ")";
        return false;
    }
    const SyntheticRelease release = makeSyntheticRelease(seed);
    if (!writeTableFiles(release.tables, directory, problem)) return false;

    const std::string input = directory + "/valtic.in";
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> out(std::fopen(input.c_str(), "wb"));
    if (!out || !writeRecords(release.catalog, seed, records, out.get()) || std::fclose(out.release()) != 0) {
        *problem = input + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    if (counts) {
        const TableSet& t = release.tables;
        *counts = {static_cast<int>(release.catalog.diagnoses.size()),
                   static_cast<int>(release.catalog.procedures.size()),
                   t.conditions.conditionCount,
                   t.mdcCodes.count - 1,
                   t.adrgCodes.count - 1,
                   t.refinedCodes.count - 1,
                   records};
    }
    return true;
}

}  // namespace drg::synth
