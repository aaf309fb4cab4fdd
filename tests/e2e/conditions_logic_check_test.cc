// A condition table that disagrees with the built-in derived conditions
// stops the batch run at its first record.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/record_builder.h"
#include "support/table_builder.h"
#include "support/test_files.h"

namespace drg::testing {
namespace {

TEST(ConditionsLogicCheck, StopsAtTheFirstRecordWithoutWritingIt) {
    for (const auto& [condition, kind] : std::vector<std::pair<int, char>>{{790, 't'}, {824, 'l'}, {100, '?'}}) {
        TempDir dir;
        TableBuilder b;
        b.conditionKind(condition, kind);
        b.write(dir.path());
        const std::string record = RecordBuilder().birthDate("500615").sex('1').date("20120615").line();
        writeFile(dir.file("valtic.in"), record + record + record);

        const ProcessResult run = runBatchProgram(dir.path());
        EXPECT_EQ(run.out, "logic setting missing or error\n") << condition;
        EXPECT_EQ(run.exitStatus, 0) << condition;
        ASSERT_TRUE(fileExists(dir.file("valtic.out"))) << condition;
        EXPECT_EQ(readFile(dir.file("valtic.out")), "") << condition;
    }
}

TEST(ConditionsLogicCheck, AgreeingTableGroupsEveryRecord) {
    TempDir dir;
    TableBuilder().write(dir.path());
    const std::string record = RecordBuilder().birthDate("500615").sex('1').date("20120615").line();
    writeFile(dir.file("valtic.in"), record + record);

    const ProcessResult run = runBatchProgram(dir.path());
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(readFile(dir.file("valtic.out")).size(), 2 * record.size());
}

}  // namespace
}  // namespace drg::testing
