// The condition table must mark exactly the built-in derived conditions as
// derived ('l') and every other condition as raised from codes ('t').
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conditions/prepare_record.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

struct KindCase {
    const char* name;
    int conditionCount;
    int condition;  // 0: leave every kind as it should be
    char kind;
    bool agrees;
};

TEST(ConsistencyCheck, StopsOnAnyDisagreementWithTheDerivedSet) {
    const std::vector<KindCase> cases = {
        {"as it should be", 854, 0, 0, true},
        {"larger table as it should be", 900, 0, 0, true},
        {"790 from codes", 854, 790, 't', false},
        {"782 from codes", 854, 782, 't', false},
        {"823 from codes", 854, 823, 't', false},
        {"853 from codes", 854, 853, 't', false},
        {"781 derived", 854, 781, 'l', false},
        {"824 derived", 854, 824, 'l', false},
        {"852 derived", 854, 852, 'l', false},
        {"first condition derived", 854, 1, 'l', false},
        {"last condition derived", 900, 899, 'l', false},
        {"unknown kind", 854, 100, 'x', false},
        {"capital kind at a derived one", 854, 782, 'L', false},
        {"NUL kind", 854, 500, '\0', false},
    };
    for (const auto& c : cases) {
        TableBuilder b;
        b.conditionCount(c.conditionCount);
        if (c.condition != 0) b.conditionKind(c.condition, c.kind);
        b.diagnosisCondition("A10", 100);
        LoadedRelease release{b};
        std::string line = RecordBuilder().date("20120615").diagnoses({"A10"}).text();

        // Preparation only reports the refusal; the program that runs it prints.
        ::testing::internal::CaptureStdout();
        const int result = release.prepare(line);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << c.name;
        if (c.agrees) {
            EXPECT_EQ(result, kPrepareOk) << c.name;
            EXPECT_EQ(release.release.conditionKindMismatch, -1) << c.name;
            EXPECT_EQ(release.state.conditions.flag[100], 1) << c.name;
        } else {
            EXPECT_EQ(result, kPrepareLogicError) << c.name;
            EXPECT_EQ(release.release.conditionKindMismatch, c.condition) << c.name;
        }
    }
}

}  // namespace
}  // namespace drg::testing
