#pragma once
// What the batch driver makes of input lines when nothing groups, and small
// releases for the driver's end-to-end tests.

#include <string>
#include <vector>

#include "record/record_layout.h"
#include "support/table_builder.h"
#include "support/test_files.h"

namespace drg::testing {

// The result columns 283-304 of a record for which no MDC is found.
inline const std::string kNoGroupResults = "000" "0000" "0" "000000" "20130201";

// The output of one input line (with its line end, if any) when nothing
// groups: the line without its line end padded with blanks to 305 bytes,
// upper-cased ('a' to 'z' only), columns 283-304 replaced, line end kept.
inline std::string ungroupedOutput(const std::string& line) {
    size_t endLength = 0;
    if (!line.empty() && line.back() == '\n') endLength = line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1;
    std::string text = line.substr(0, line.size() - endLength);
    if (text.size() < static_cast<size_t>(kRecordLength)) text.resize(static_cast<size_t>(kRecordLength), ' ');
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    text.replace(static_cast<size_t>(kMdcOut.offset), kNoGroupResults.size(), kNoGroupResults);
    return text + line.substr(line.size() - endLength);
}

inline std::string ungroupedOutput(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += ungroupedOutput(l);
    return out;
}

inline std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l;
    return s;
}

// A consistent release in which no record groups: no decision rows at all.
inline void writeEmptyRelease(const std::string& directory) { TableBuilder().write(directory); }

// A release with something in every file; principal diagnosis G40.0 groups
// into MDC "01 " and ADRG "B010".
inline TableBuilder groupingRelease() {
    TableBuilder b;
    const int mdc1 = b.mdc("01 ");
    const int b010 = b.adrg("B010");
    b.drg("B010A");
    b.drg("B010B");
    b.conditionSlots(100, 1, 1);
    b.diagnosisCondition("G40.0", 100);
    b.procedureCondition("5-010", 200);
    b.daggerPair("A17.0", "G01");
    b.decisionRow({.range = 1, .mustSet = {100}, .mustClear = {}, .mdc = mdc1, .adrg = b010, .dated = {}});
    b.refinementRow("B010", 0, 17, 'A');
    b.refinementRow("B010", 18, 120, 'B');
    b.levelRow("I10", {{"B010", '3'}});
    b.exclusions("I10", {"E11"});
    b.splitRow("B010B", "ZYXWV");
    b.splitRow("B010A", "01234");
    return b;
}

// Writes a file of `count` copies of `line`.
inline void writeRepeated(const std::string& path, const std::string& line, size_t count) {
    std::string bytes;
    bytes.reserve(line.size() * count);
    for (size_t i = 0; i < count; ++i) bytes += line;
    writeFile(path, bytes);
}

}  // namespace drg::testing
