#pragma once
// The hand-worked releases of the golden runs, shared with the tests that
// check an explanation's rows and levels against the same hand-worked cases.

#include <string>
#include <utility>
#include <vector>

#include "support/table_builder.h"

namespace drg::testing {

// MDCs: 1 "PRE" (range 1 holds the MDC pass), 2 "05 ", 3 "08 ".
// Conditions: 100 from "I21.0", 110 from "S72.0", 111 from procedure "5-820",
// 120 from procedure "1-275".
// Range 1: {100} -> 05/F020; {110} -> 08/no ADRG; no conditions -> MDC 0/Z999.
// Range 2: {100, 120} -> F010; no conditions -> F020.
// Range 3: {110, 111} -> I080; {110} without 111, 2010 to 2012 -> I090.
inline TableBuilder goldenGroupingRelease() {
    TableBuilder b;
    b.mdc("PRE");
    const int m05 = b.mdc("05 "), m08 = b.mdc("08 ");
    b.diagnosisCondition("I21.0", 100);
    b.diagnosisCondition("S72.0", 110);
    b.procedureCondition("5-820", 111);
    b.procedureCondition("1-275", 120);
    b.decisionRow({.range = 1, .mustSet = {100}, .mdc = m05, .adrg = b.adrg("F020")});
    b.decisionRow({.range = 1, .mustSet = {110}, .mdc = m08, .adrg = 0});
    b.decisionRow({.range = 1, .mdc = 0, .adrg = b.adrg("Z999")});
    b.decisionRow({.range = m05, .mustSet = {100, 120}, .adrg = b.adrg("F010")});
    b.decisionRow({.range = m05, .adrg = b.adrg("F020")});
    b.decisionRow({.range = m08, .mustSet = {110, 111}, .adrg = b.adrg("I080")});
    b.decisionRow({.range = m08, .mustSet = {110}, .mustClear = {111}, .adrg = b.adrg("I090"),
                   .dated = {20100101, 20121231}});
    b.refinementRow("F010", 0, 17, 'A');
    b.refinementRow("F010", 18, 999, 'B');
    b.refinementRow("F020", 0, 999, 'Z');
    b.refinementRow("I080", 66, 999, 'A');
    b.refinementRow("I080", 0, 65, 'B');
    b.refinementRow("Z999", -999, 999, 'Z');
    for (const char* code : {"F010A", "F010B", "F020Z", "I080A", "I080B", "I0900", "Z999Z"}) b.drg(code);
    b.splitRow("F010B", "ABCDD");
    b.levelRow("E11.9", {{"F010", '2'}, {"I080", '1'}});
    return b;
}

// One MDC "04 " (index 1, so the ADRG pass scans range 1 again and finds the
// same row): principal "J44.1" (condition 200) gives ADRG E650, refined for
// all ages to E650C, whose split profile "ABCDE" shows the PCCL.
// Levels for E650 and exclusion lists:
//   I50.0 4 [I50.1]   I50.1 4 [I50.0]   I50.9 4 [J44.1]
//   N17.9 3           R09.2 3 [J44.1]   N95.0 3, raises 373 (slot 1 only)
//   E87.1 2           D62   2 [E87.1]   D50.0 2 [N17.9]
//   E11.9 1 [I10]     I10   1 [E11.9]
//   Y01..Y09 4        Z01..Z09 1
inline TableBuilder goldenComplexityRelease() {
    TableBuilder b;
    const int m04 = b.mdc("04 ");
    b.diagnosisCondition("J44.1", 200);
    b.decisionRow({.range = 1, .mustSet = {200}, .mdc = m04, .adrg = b.adrg("E650")});
    b.refinementRow("E650", 0, 999, 'C');
    b.drg("E650C");
    b.splitRow("E650C", "ABCDE");
    b.conditionSlots(373, 1, 1);
    b.diagnosisCondition("N95.0", 373);
    const std::vector<std::pair<const char*, char>> levels = {
        {"I50.0", '4'}, {"I50.1", '4'}, {"I50.9", '4'}, {"N17.9", '3'}, {"R09.2", '3'}, {"N95.0", '3'},
        {"E87.1", '2'}, {"D62", '2'},   {"D50.0", '2'}, {"E11.9", '1'}, {"I10", '1'},
    };
    for (const auto& [code, level] : levels) b.levelRow(code, {{"E650", level}});
    for (int k = 1; k <= 9; ++k) {
        b.levelRow("Y0" + std::to_string(k), {{"E650", '4'}});
        b.levelRow("Z0" + std::to_string(k), {{"E650", '1'}});
    }
    b.exclusions("I50.0", {"I50.1"});
    b.exclusions("I50.1", {"I50.0"});
    b.exclusions("I50.9", {"J44.1"});
    b.exclusions("R09.2", {"J44.1"});
    b.exclusions("D62", {"E87.1"});
    b.exclusions("D50.0", {"N17.9"});
    b.exclusions("E11.9", {"I10"});
    b.exclusions("I10", {"E11.9"});
    return b;
}

}  // namespace drg::testing
