// Golden run: complication levels, the three exclusion rules, the PCCL and the
// split character, through the batch program. Every expected line was worked
// out by hand from the release below.
#include <gtest/gtest.h>

#include "e2e/golden_releases.h"
#include "support/grouping_fixture.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

RecordBuilder stay(const std::vector<std::string>& diagnoses, char sex = '1') {
    return RecordBuilder().birthDate("500615").sex(sex).date("20120615").diagnoses(diagnoses);
}

TEST(GoldenComplexity, LevelsExclusionsPcclAndSplit) {
    expectGoldenRun(goldenComplexityRelease(), {
        // No secondary diagnosis: PCCL 0, split character from profile byte 0.
        {"no secondaries", stay({"J44.1"}), "04 E6500E650CA20130201"},
        // A single level 4 gives S = 4, x about 3.70: PCCL 3, not 4.
        {"single level 4", stay({"J44.1", "I50.0"}), "04 E6503E650CD20130201"},
        // Two unrelated level-4 diagnoses: S about 6.68, PCCL 4.
        {"two at level 4", stay({"J44.1", "I50.0", "Y01"}), "04 E6504E650CE20130201"},
        // Each level-4 diagnosis in the other's list: slot 2 makes its pass first and cancels slot 3.
        {"mutual exclusion at the highest level", stay({"J44.1", "I50.0", "I50.1"}), "04 E6503E650CD20130201"},
        // The same pair in the other order: again exactly one survives.
        {"mutual exclusion, slots exchanged", stay({"J44.1", "I50.1", "I50.0"}), "04 E6503E650CD20130201"},
        // I50.9 holds the principal in its list: cancelled although at level 4.
        {"principal exclusion at level 4", stay({"J44.1", "I50.9", "I50.0"}), "04 E6503E650CD20130201"},
        // R09.2 cancelled by the principal: nothing left.
        {"principal exclusion leaves PCCL 0", stay({"J44.1", "R09.2"}), "04 E6500E650CA20130201"},
        // D62's list holds E87.1, but level 2 is not the highest (3): levels 3, 2, 2 give S about 5.24.
        {"lower levels never cancel", stay({"J44.1", "N17.9", "E87.1", "D62"}), "04 E6504E650CE20130201"},
        // D50.0's list holds N17.9, which is at the highest level: levels 3, 2 remain.
        {"highest level cancels a lower one", stay({"J44.1", "N17.9", "E87.1", "D50.0"}), "04 E6503E650CD20130201"},
        // The highest level is taken after the principal exclusion: 2, so E87.1 cancels D62.
        {"highest level after principal exclusion", stay({"J44.1", "I50.9", "E87.1", "D62"}),
         "04 E6502E650CC20130201"},
        // Two unrelated level-2 diagnoses: S about 3.34, PCCL 3.
        {"two at level 2", stay({"J44.1", "E87.1", "D50.0"}), "04 E6503E650CD20130201"},
        // Levels 2 and 1: S about 2.67, PCCL 3.
        {"levels 2 and 1", stay({"J44.1", "E87.1", "E11.9"}), "04 E6503E650CD20130201"},
        // The same levels in ascending slot order: sorted first, so still 2 then 1.
        {"levels sorted before weighting", stay({"J44.1", "E11.9", "E87.1"}), "04 E6503E650CD20130201"},
        // Level 1 is the highest here: E11.9 in slot 2 cancels I10, one level 1 remains.
        {"tie at highest level 1", stay({"J44.1", "E11.9", "I10"}), "04 E6501E650CB20130201"},
        // Nine at level 1: S about 2.95, PCCL 3.
        {"nine at level 1", stay({"J44.1", "Z01", "Z02", "Z03", "Z04", "Z05", "Z06", "Z07", "Z08", "Z09"}),
         "04 E6503E650CD20130201"},
        // Nine at level 4: x about 5.56, capped at 4.
        {"nine at level 4", stay({"J44.1", "Y01", "Y02", "Y03", "Y04", "Y05", "Y06", "Y07", "Y08", "Y09"}),
         "04 E6504E650CE20130201"},
        // N95.0 raises 373, limited to slot 1: an odd sex digit cancels its level.
        {"373 with sex digit 1", stay({"J44.1", "N95.0"}, '1'), "04 E6500E650CA20130201"},
        // An even sex digit keeps it.
        {"373 with sex digit 2", stay({"J44.1", "N95.0"}, '2'), "04 E6503E650CD20130201"},
        // A blank reads as -16, which is even.
        {"373 with a blank sex digit", stay({"J44.1", "N95.0"}, ' '), "04 E6503E650CD20130201"},
        // "/" reads as -1, which is odd.
        {"373 with sex digit -1", stay({"J44.1", "N95.0"}, '/'), "04 E6500E650CA20130201"},
        // Two at level 3 (N95.0 kept for a woman): S about 5.01, PCCL 4.
        {"two at level 3", stay({"J44.1", "N17.9", "N95.0"}, '2'), "04 E6504E650CE20130201"},
    });
}

}  // namespace
}  // namespace drg::testing
