// The public interfaces, C++ and C: opening and refusing releases, grouping
// lines and records as the batch does, and the errors a caller can make.
#include <gtest/gtest.h>

#include <cstring>

#include "batch/batch_test_support.h"
#include "drg/grouper_c.h"

namespace drg::testing {
namespace {

const std::string kGrouping =
    RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses({"G40.0", "I10"}).text();

TEST(LibraryApi, RefusedReleasesSayWhichFileAndField) {
    TempDir dir;
    EXPECT_EQ(openRelease(dir.path()).status, LoadStatus::InitError);
    EXPECT_EQ(openRelease(dir.path()).reason, "Tdx.idx: cannot be opened: No such file or directory");
    // The folder of a release's readable source, named in its place.
    writeFile(dir.file("diagnoses.tsv"), "code\n");
    EXPECT_EQ(openRelease(dir.path()).reason,
              "Tdx.idx: cannot be opened: No such file or directory; the folder holds a table source (.tsv "
              "files), which drg tables build makes table files of");
    groupingRelease().write(dir.path());
    const OpenedRelease file = openRelease(dir.path() + "/Tdx.idx");
    EXPECT_EQ(file.status, LoadStatus::InitError);
    EXPECT_EQ(file.reason, "it is not a folder");
    setCountField(dir.path(), "Tcode", 1, "99");
    const OpenedRelease opened = openRelease(dir.path());
    EXPECT_EQ(opened.status, LoadStatus::CountError);
    EXPECT_FALSE(opened.release);
    EXPECT_NE(opened.reason.find("Tcode: count field 1 is 99"), std::string::npos) << opened.reason;
}

TEST(LibraryApi, GroupsALineExactlyAsTheBatchWritesIt) {
    TempDir dir;
    groupingRelease().write(dir.path());
    const std::vector<std::string> lines = {kGrouping + "tail\r\n", "short\n", kGrouping};
    writeFile(dir.file("valtic.in"), joined(lines));
    ASSERT_EQ(runBatchProgram(dir.path()).exitStatus, 1);
    EXPECT_EQ(groupedOneByOne(dir.path(), lines), readFile(dir.file("valtic.out")));

    Worker worker(openRelease(dir.path()).release);
    std::string record = kGrouping;
    GroupResult result;
    ASSERT_EQ(worker.groupRecord(record.data(), record.size(), &result), GroupStatus::Ok);
    EXPECT_STREQ(result.mdc, "01 ");
    EXPECT_STREQ(result.adrg, "B010");
    EXPECT_STREQ(result.drg, "B010BW");
    EXPECT_EQ(result.pccl, 3);
    EXPECT_EQ(resultColumns(record), "01 B0103B010BW20130201");
    std::string tooShort(304, ' ');
    EXPECT_EQ(worker.groupRecord(tooShort.data(), tooShort.size()), GroupStatus::TooShort);
}

TEST(LibraryApi, ALineGroupsAlikeInItsOwnBufferOrOneOverlappingIt) {
    TempDir dir;
    groupingRelease().write(dir.path());
    Worker worker(openRelease(dir.path()).release);
    for (const std::string& line : {std::string(), std::string("short\n"), std::string("short\r\n"),
                                    kGrouping + "tail\r\n", kGrouping}) {
        std::string expected;
        ASSERT_EQ(worker.groupLine(line, expected), GroupStatus::Ok);
        for (const int shift : {0, -1, 1}) {  // where the output starts against the line
            std::string buffer(line.size() + Worker::kRecordLength + 4, '#');
            char* text = buffer.data() + 1;
            line.copy(text, line.size());
            ASSERT_EQ(worker.groupLine(text, line.size(), text + shift), GroupStatus::Ok);
            EXPECT_EQ(std::string(text + shift, expected.size()), expected) << "line '" << line << "' shift " << shift;
        }
    }
    std::string empty;
    EXPECT_EQ(worker.groupLine(std::string_view{}, empty), GroupStatus::Ok);  // no buffer behind it at all
    EXPECT_EQ(empty.size(), Worker::kRecordLength);
    EXPECT_THROW(Worker(openRelease(dir.file("no-such-folder")).release), std::invalid_argument);
}

TEST(LibraryApi, ALineGroupsAlikeInItsOwnString) {
    TempDir dir;
    groupingRelease().write(dir.path());
    Worker worker(openRelease(dir.path()).release);
    // A short line grows its string, which then moves; a long one behind
    // other bytes shrinks it.
    for (const std::string& line : {kGrouping.substr(0, 100) + "\n", kGrouping + "tail\r\n"}) {
        std::string expected;
        ASSERT_EQ(worker.groupLine(line, expected), GroupStatus::Ok);
        for (const size_t before : {size_t{0}, size_t{40}}) {  // bytes ahead of the line in the string
            std::string out = std::string(before, '#') + line;
            out.shrink_to_fit();
            ASSERT_EQ(worker.groupLine(std::string_view(out).substr(before), out), GroupStatus::Ok);
            EXPECT_EQ(out, expected) << "line '" << line << "' after " << before << " bytes";
        }
    }
}

TEST(LibraryApi, ARefusingReleaseRefusesEveryRecordAndSaysWhy) {
    TempDir dir;
    TableBuilder release = groupingRelease();
    release.conditionKind(853, 't');
    release.write(dir.path());
    const OpenedRelease opened = openRelease(dir.path());
    ASSERT_TRUE(opened.release);
    std::string reason;
    EXPECT_FALSE(releaseGroupsRecords(*opened.release, &reason));
    EXPECT_NE(reason.find("condition 853 has kind 't'"), std::string::npos) << reason;
    std::string out;
    EXPECT_EQ(Worker(opened.release).groupLine(kGrouping, out), GroupStatus::Refused);
}

TEST(LibraryApi, CInterface) {
    TempDir dir;
    drg_release* release = nullptr;
    EXPECT_EQ(drg_release_open(dir.path().c_str(), &release), DRG_INIT_ERROR);
    EXPECT_EQ(release, nullptr);
    EXPECT_STREQ(drg_last_error(), "Tdx.idx: cannot be opened: No such file or directory");
    release = reinterpret_cast<drg_release*>(&dir);  // whatever the caller left there
    EXPECT_EQ(drg_release_open(nullptr, &release), DRG_INVALID_ARGUMENT);
    EXPECT_EQ(release, nullptr);
    EXPECT_EQ(drg_grouped_length(nullptr, 0), 305u);
    EXPECT_EQ(drg_grouped_length(nullptr, 10), 0u);  // refused by drg_group_line

    groupingRelease().write(dir.path());
    ASSERT_EQ(drg_release_open(dir.path().c_str(), &release), DRG_OK);
    drg_worker* worker = nullptr;
    ASSERT_EQ(drg_worker_new(release, &worker), DRG_OK);
    drg_release_close(release);  // the worker keeps the release alive

    const std::string line = kGrouping + "\n";
    std::string out(drg_grouped_length(line.data(), line.size()), '\0');
    size_t written = 0;
    drg_result result;
    std::memset(&result, '#', sizeof result);  // no terminator but the ones the call writes
    EXPECT_EQ(drg_group_line(worker, line.data(), line.size(), out.data(), out.size() - 1, &written, &result),
              DRG_BUFFER_TOO_SMALL);
    EXPECT_STREQ(drg_last_error(), "the output needs 306 bytes");
    ASSERT_EQ(drg_group_line(worker, line.data(), line.size(), out.data(), out.size(), &written, &result), DRG_OK);
    EXPECT_EQ(written, 306u);
    EXPECT_STREQ(result.drg, "B010BW");
    EXPECT_EQ(resultColumns(out), "01 B0103B010BW20130201");

    std::string record(300, ' ');
    EXPECT_EQ(drg_group_record(worker, record.data(), record.size(), &result), DRG_INVALID_ARGUMENT);
    EXPECT_EQ(drg_group_line(nullptr, line.data(), line.size(), out.data(), out.size(), &written, &result),
              DRG_INVALID_ARGUMENT);
    drg_worker_free(worker);
}

}  // namespace
}  // namespace drg::testing
