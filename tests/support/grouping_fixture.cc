#include "support/grouping_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/record_grouping.h"
#include "support/test_files.h"

namespace drg::testing {

std::string groupedColumns(LoadedRelease& release, const RecordBuilder& record) {
    std::string line = record.text();
    if (groupRecord(release.state, release.release, line.data(), line.size()) != 0) {
        ADD_FAILURE() << "record refused by preparation";
        return "";
    }
    return resultColumns(line);
}

void expectGoldenRun(const TableBuilder& release, const std::vector<GoldenLine>& lines) {
    TempDir dir;
    release.write(dir.path());
    std::string input, expected;
    for (const auto& l : lines) {
        input += l.record.line();
        std::string head = l.record.text().substr(0, static_cast<size_t>(kMdcOut.offset));
        for (char& c : head)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        ASSERT_EQ(std::strlen(l.results), static_cast<size_t>(kRecordLength - kMdcOut.offset)) << l.rule;
        expected += head + l.results + "\n";
    }
    writeFile(dir.file("valtic.in"), input);

    const ProcessResult run = runBatchProgram(dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    const std::string out = readFile(dir.file("valtic.out"));
    EXPECT_EQ(out, expected);
    // Line by line as well, so that a difference names its rule.
    const size_t width = static_cast<size_t>(kRecordLength) + 1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (out.size() < (i + 1) * width) {
            ADD_FAILURE() << "output ends before line " << i + 1 << " (" << lines[i].rule << ")";
            break;
        }
        EXPECT_EQ(resultColumns(out.substr(i * width, width)), lines[i].results)
            << "line " << i + 1 << ": " << lines[i].rule;
    }
}

}  // namespace drg::testing
