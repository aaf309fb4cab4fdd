#include "synth/synth_run.h"

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <memory>
#include <vector>

#include "synth/synthetic_records.h"
#include "synth/synthetic_release.h"
#include "tables/table_files.h"
#include "tables/table_writer.h"
#include "tablesource/diagnostics.h"
#include "tablesource/staged_folder.h"

namespace drg::synth {

bool writeSyntheticRun(uint64_t seed, uint64_t records, const std::string& directory, std::string* problem,
                       SynthRunCounts* counts) {
    // Everything is written aside first: a full disk half-way, or a link in
    // the folder, must not cost the release that is there.
    source::StagedFolder staged;
    if (!staged.open(directory, problem)) return false;
    // `message` names the file in the staging folder; the user looks for it in theirs.
    auto unwritten = [&](const std::string& message) {
        const std::string stagedPrefix = staged.path() + "/";
        const std::string named = message.rfind(stagedPrefix, 0) == 0
                                      ? source::joinPath(directory, message.substr(stagedPrefix.size()))
                                      : message;
        *problem = source::printable(named) + "; " + source::printable(directory) + " is unchanged";
        return false;
    };
    const SyntheticRelease release = makeSyntheticRelease(seed);
    if (!writeTableFiles(release.tables, staged.path(), problem)) return unwritten(*problem);

    const std::string input = staged.path() + "/valtic.in";
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> out(std::fopen(input.c_str(), "wb"));
    if (!out || !writeRecords(release.catalog, seed, records, out.get()) || std::fclose(out.release()) != 0)
        return unwritten(input + ": cannot be written: " + std::strerror(errno));

    std::vector<std::string> names(kTableFileNames.begin(), kTableFileNames.end());
    names.push_back("valtic.in");
    bool unchanged = true;
    if (!staged.commit(names, problem, &unchanged)) return false;
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
