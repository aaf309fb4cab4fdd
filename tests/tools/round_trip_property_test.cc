// Any release that loads survives dump and build --allow-invalid: random
// damage to a generated release (counts, single elements, swapped elements,
// filled stretches) that the loader still accepts is dumped, rebuilt, and
// must group a random record set exactly as before, also when written with
// the labels, notes and comments of the undamaged release's source; the
// rebuilt tables dump to the same source. DRG_ROUND_TRIP_ROUNDS and DRG_ROUND_TRIP_SEED run it
// longer or differently by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <type_traits>

#include "support/test_files.h"
#include "tables/table_files.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"
#include "tablesource/source_compiler.h"
#include "tablesource/source_decompiler.h"
#include "tablesource/source_labels.h"
#include "tools/tool_test_support.h"

namespace drg::testing {
namespace {

unsigned fromEnvironment(const char* name, unsigned fallback) {
    const char* value = std::getenv(name);
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

// Values near the bounds of some array, and bytes that texts and kinds hold.
int nastyValue(std::mt19937& rng) {
    static const int values[] = {-32768, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 20, 32, 48,
                                 '0',    '4', 'A', 'Z', 'l', 't', 0x7f, 0xff, 853, 854, 855, 900, 32767};
    return values[rng() % std::size(values)];
}

// One damage to one file: a count moved, or an element set, two swapped or a
// stretch filled. Gives back the file.
int damageFile(TableSet& t, int file, std::mt19937& rng) {
    if (rng() % 4 == 0) {
        auto counts = fileCounts(t, file);
        const size_t field = rng() % static_cast<size_t>(countFieldLayout(file).used);
        const int64_t choices[] = {0, 1, counts[field] - 1, counts[field] + 1, counts[field] + 2,
                                   static_cast<int64_t>(rng() % static_cast<unsigned>(counts[field] + 3))};
        counts[field] = std::max<int64_t>(0, choices[rng() % std::size(choices)]);
        setFileCounts(t, file, counts);
        return file;
    }
    int arrays = 0;
    forEachArray(t, file, [&](auto&, size_t) { ++arrays; });
    const int chosen = static_cast<int>(rng() % static_cast<unsigned>(arrays));
    const auto how = rng() % 3;
    int index = 0;
    forEachArray(t, file, [&](auto& array, size_t) {
        if (index++ != chosen || array.empty()) return;
        using Value = std::remove_reference_t<decltype(array[0])>;
        const size_t at = rng() % array.size(), other = rng() % array.size();
        if (how == 0) array[at] = static_cast<Value>(nastyValue(rng));
        if (how == 1) std::swap(array[at], array[other]);
        if (how == 2) std::fill(array.begin() + static_cast<long>(std::min(at, other)),
                                array.begin() + static_cast<long>(std::max(at, other)) + 1,
                                static_cast<Value>(nastyValue(rng)));
    });
    return file;
}

// The source of the undamaged release as an author keeps it: a note and a
// comment on every row, a label on every listed condition, and decision
// rows that name those conditions with their labels.
source::Source labelledSource(source::Source source) {
    std::set<std::string> listed;
    auto& conditions = source["conditions.tsv"];
    for (auto& row : conditions.rows) listed.insert(row.fields[0]);
    for (auto& [name, file] : source) {
        const bool labels = name == "conditions.tsv";
        file.columns.push_back(labels ? "label" : "note");
        for (size_t r = 0; r < file.rows.size(); ++r) {
            file.rows[r].fields.push_back((labels ? "c" : "n") + std::to_string(r));
            file.comments.push_back({r, "# row " + std::to_string(r)});
        }
        if (name.rfind("decisions", 0) != 0) continue;
        for (auto& row : file.rows)
            for (size_t half : {1, 2}) {
                std::string field;
                for (const auto& token : source::splitTokens(row.fields[half])) {
                    auto at = std::find_if(conditions.rows.begin(), conditions.rows.end(),
                                           [&](const source::SourceRow& c) { return c.fields[0] == token; });
                    field += (field.empty() ? "" : " ") +
                             (at == conditions.rows.end() ? token : token + ":" + at->fields.back());
                }
                if (!field.empty()) row.fields[half] = field;
            }
    }
    return source;
}

TEST(RoundTripProperty, DamagedReleasesThatLoadGroupAlikeAfterDumpAndBuild) {
    const unsigned rounds = fromEnvironment("DRG_ROUND_TRIP_ROUNDS", 300);
    std::mt19937 rng(fromEnvironment("DRG_ROUND_TRIP_SEED", 10));
    std::vector<std::string> diagnoses, procedures;
    const TableSet pristine = generatedRelease(&diagnoses, &procedures).build();
    // The damaged release: links to the pristine files, the damaged ones
    // written anew (rewriting files in place makes some file systems flush them).
    TempDir pristineDir, originalDir;
    ASSERT_TRUE(writeTableFiles(pristine, pristineDir.path()));
    const source::Source labelled = labelledSource(source::decompileTables(pristine));
    std::string difference;  // the undamaged release takes every label back
    ASSERT_TRUE(sameSource(source::withRemarksFrom(source::decompileTables(pristine), labelled), labelled, &difference))
        << difference;
    std::set<int> damagedBefore;
    for (int file = 0; file < kTableFileCount; ++file) damagedBefore.insert(file);
    unsigned loaded = 0;
    for (unsigned round = 0; round < rounds && !HasFailure(); ++round) {
        TableSet damaged = pristine;
        std::set<int> damagedNow;
        const auto hits = 1 + rng() % 3;
        for (decltype(rng()) hit = 0; hit < hits; ++hit)
            damagedNow.insert(damageFile(damaged, static_cast<int>(rng() % kTableFileCount), rng));
        for (int file : damagedBefore) std::filesystem::remove(originalDir.file(kTableFileNames[file]));
        for (int file : damagedNow) std::filesystem::remove(originalDir.file(kTableFileNames[file]));
        for (int file : damagedNow) ASSERT_TRUE(writeTableFile(damaged, file, originalDir.path()));
        for (int file : damagedBefore)
            if (!damagedNow.count(file))
                std::filesystem::create_hard_link(pristineDir.file(kTableFileNames[file]),
                                                  originalDir.file(kTableFileNames[file]));
        damagedBefore = damagedNow;
        TableSet original;
        if (loadTables(original, originalDir.path()) != kLoadOk) continue;
        ++loaded;

        const source::Source dumped = source::decompileTables(original);
        source::Diagnostics diagnostics;
        // Damage writes what no author means; the dump of what loads builds back all the same.
        const auto compiled = source::compileSource(dumped, diagnostics, allowInvalid());
        ASSERT_TRUE(compiled) << "round " << round << ": the dump does not build: "
                              << (diagnostics.all().empty() ? "" : formatDiagnostic(diagnostics.all()[0]));
        // As the loader would hold it (the compiler has made the loader's checks; writing
        // and loading compiled tables is tested on its own).
        TableSet rebuilt = *compiled;
        for (auto& table : rebuilt.decisionTables) decisionRowFixup(table, rebuilt.conditions.conditionCount);

        // The same dump written as the labelled source writes it means the same.
        source::Diagnostics labelDiagnostics;
        const auto relabelled =
            source::compileSource(source::withRemarksFrom(dumped, labelled), labelDiagnostics, allowInvalid());
        ASSERT_TRUE(relabelled) << "round " << round << ": the dump with labels does not build: "
                                << (labelDiagnostics.all().empty() ? "" : formatDiagnostic(labelDiagnostics.all()[0]));
        TableSet withLabels = *relabelled;
        for (auto& table : withLabels.decisionTables) decisionRowFixup(table, withLabels.conditions.conditionCount);

        const auto records = generatedRecords(diagnoses, procedures, 150, round);
        const auto expected = groupOutcomes(original, records), actual = groupOutcomes(rebuilt, records),
                   labelledActual = groupOutcomes(withLabels, records);
        for (size_t i = 0; i < records.size(); ++i) {
            ASSERT_EQ(expected[i], actual[i]) << "round " << round << ", record " << i;
            ASSERT_EQ(expected[i], labelledActual[i]) << "round " << round << ", record " << i << " (with labels)";
        }
        difference.clear();
        ASSERT_TRUE(sameSource(dumped, source::decompileTables(rebuilt), &difference))
            << "round " << round << ": the rebuilt tables dump differently: " << difference;
    }
    std::printf("%u rounds, %u damaged releases loaded\n", rounds, loaded);
    // Both outcomes must be common, or the damage says little.
    EXPECT_GT(loaded, rounds / 5);
    EXPECT_LT(loaded, rounds);
}

}  // namespace
}  // namespace drg::testing
