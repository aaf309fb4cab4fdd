// Records are independent, so GNU parallel can cut a file into blocks, group
// each block with its own `drg group` and join the outputs in order: the
// bytes are those drg-batch writes for the whole file.
#include <gtest/gtest.h>

#include "commands/command_test_support.h"

namespace drg::testing {
namespace {

TEST(ScaleOut, ParallelBlocksGiveTheBatchBytes) {
    std::mt19937 rng(3);
    GroupedInput run(groupingRelease(), mixedLines(rng, 4000));
    ASSERT_EQ(run.batchStatus, 1);
    ASSERT_GT(run.input.size(), size_t{8} * 64 * 1024);  // many blocks
    const ProcessResult r = runShell(
        run.dir.path(), "parallel --will-cite --pipe -k -j 2 --block 64k drg group --tables . < in.txt > out.txt");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(readFile(run.dir.file("out.txt")) == run.batchOutput);
}

}  // namespace
}  // namespace drg::testing
