#include "harness/table_bytes_harness.h"

#include <array>
#include <cstdio>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"

namespace drg::fuzz {
namespace {

struct PristineRelease {
    std::string folder;
    std::array<std::string, kTableFileCount> files;

    PristineRelease() : folder(scratchFolder("drg-fuzz-tables-")) {
        smallRelease().write(folder);
        for (int f = 0; f < kTableFileCount; ++f) files[f] = readBytes(path(f));
    }

    std::string path(int file) const { return folder + "/" + kTableFileNames[file]; }

    static std::string readBytes(const std::string& path) {
        std::string bytes;
        if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
            char chunk[4096];
            for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.append(chunk, n);
            std::fclose(in);
        }
        return bytes;
    }

    void put(int file, const char* bytes, size_t size) const {
        std::FILE* out = std::fopen(path(file).c_str(), "wb");
        if (!out) return;
        std::fwrite(bytes, 1, size, out);
        std::fclose(out);
    }
};

const PristineRelease& pristine() {
    static const PristineRelease release;
    return release;
}

// The one place this target calls the grouper: every probe record, in
// order, with one claim state, as the batch program would.
std::vector<int> groupRecords(const Release& release, std::vector<std::string>& records) {
    ClaimState state;
    initClaimState(state, release);
    std::vector<int> results;
    for (std::string& r : records) results.push_back(groupRecord(state, release, r.data(), r.size()));
    return results;
}

}  // namespace

FuzzOutcome runTableBytes(const uint8_t* data, size_t size) {
    FuzzOutcome outcome;
    if (size == 0) return outcome;
    const PristineRelease& release = pristine();
    const int file = data[0] % kTableFileCount;
    release.put(file, reinterpret_cast<const char*>(data + 1), size - 1);
    Release loadedRelease;
    std::string problem;
    const int loaded = loadRelease(loadedRelease, release.folder, &problem);
    release.put(file, release.files[file].data(), release.files[file].size());
    if (loaded != kLoadOk) {
        if (problem.empty()) outcome.fault = "refused without a reason";
        return outcome;
    }
    outcome.reachedGrouping = true;
    const std::vector<std::string> inputs = probeRecords();
    std::vector<std::string> records = inputs;
    const std::vector<int> results = groupRecords(loadedRelease, records);
    for (size_t i = 0; i < records.size() && outcome.fault.empty(); ++i) {
        if (results[i] == -1) continue;  // condition kinds damaged: the run stops there
        outcome.fault = results[i] != 0 ? "grouping returned " + std::to_string(results[i])
                                        : checkGroupedRecord(inputs[i], records[i]);
        if (!outcome.fault.empty()) outcome.fault = "probe record " + std::to_string(i) + ": " + outcome.fault;
    }
    return outcome;
}

std::vector<std::string> tableBytesSeeds() {
    std::vector<std::string> seeds;
    for (int f = 0; f < kTableFileCount; ++f) seeds.push_back(static_cast<char>(f) + pristine().files[f]);
    return seeds;
}

}  // namespace drg::fuzz
