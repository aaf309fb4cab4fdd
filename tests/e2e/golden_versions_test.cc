// Golden run: the dated versions of the decision, level and exclusion tables
// at every cut date and the day before it, through the batch program. Every
// expected line was worked out by hand from the release below.
#include <gtest/gtest.h>

#include "support/grouping_fixture.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

// Decision version v (0..5) holds one range-1 row without conditions giving
// MDC "M0v" and ADRG "A00v", refined to "A00vA" with split profile "VWXYZ".
// Secondary LV has level 1 in "Tccl", 2 in "Tccl1", 3 in "Tccl2" (any ADRG);
// secondary LE has level 1 in "Tccl" and "Tccl1" and 3 in "Tccl2", and its
// list holds the principal P01 in "Tccedit1" only. So a record {P01, LV, LE}
// shows all three versions:
//   Tccl:  LV 1 + LE 1 -> PCCL 2, LE cancelled -> 1
//   Tccl1: LV 2 + LE 1 -> PCCL 3, LE cancelled -> 2
//   Tccl2: LV 3 + LE 3 -> PCCL 4
TableBuilder release() {
    TableBuilder b;
    b.mdc("PRE");
    for (int v = 0; v < 6; ++v) {
        const std::string n = std::to_string(v);
        const std::string adrg = "A00" + n;
        b.decisionRow({.range = 1, .mdc = b.mdc("M0" + n), .adrg = b.adrg(adrg), .versions = {v}});
        b.refinementRow(adrg, -32000, 32000, 'A');
        b.drg(adrg + "A");
        b.splitRow(adrg + "A", "VWXYZ");
    }
    b.diagnosis("P01");
    b.levelRow("LV", {}, '1', {}, {0});
    b.levelRow("LV", {}, '2', {}, {1});
    b.levelRow("LV", {}, '3', {}, {2});
    b.levelRow("LE", {}, '1', {}, {0, 1});
    b.levelRow("LE", {}, '3', {}, {2});
    b.exclusions("LE", {"P01"}, {1});
    return b;
}

RecordBuilder on(const char* date) {
    return RecordBuilder().birthDate("500615").sex('1').date(date).diagnoses({"P01", "LV", "LE"});
}

TEST(GoldenVersions, EveryCutDateAndTheDayBefore) {
    expectGoldenRun(release(), {
        // Tadrg, Tccl, Tccedit.
        {"day before 20050101", on("20041231"), "M00A0002A000AX20130201"},
        // 20050101 starts Tadrg1.
        {"20050101", on("20050101"), "M01A0012A001AX20130201"},
        // Still Tccedit the day before 20080101.
        {"day before 20080101", on("20071231"), "M01A0012A001AX20130201"},
        // 20080101 starts Tccedit1: LE cancelled by the principal.
        {"20080101", on("20080101"), "M01A0011A001AW20130201"},
        // Still Tadrg1 the day before 20090101.
        {"day before 20090101", on("20081231"), "M01A0011A001AW20130201"},
        // 20090101 starts Tadrg2.
        {"20090101", on("20090101"), "M02A0021A002AW20130201"},
        // Still Tadrg2 the day before 20091001.
        {"day before 20091001", on("20090930"), "M02A0021A002AW20130201"},
        // 20091001 starts Tadrg3.
        {"20091001", on("20091001"), "M03A0031A003AW20130201"},
        // Still Tccl the day before 20091201.
        {"day before 20091201", on("20091130"), "M03A0031A003AW20130201"},
        // 20091201 starts Tccl1: LV at level 2.
        {"20091201", on("20091201"), "M03A0032A003AX20130201"},
        // Still Tadrg3 the day before 20110101.
        {"day before 20110101", on("20101231"), "M03A0032A003AX20130201"},
        // 20110101 starts Tadrg4.
        {"20110101", on("20110101"), "M04A0042A004AX20130201"},
        // Still Tccedit1 the day before 20111101.
        {"day before 20111101", on("20111031"), "M04A0042A004AX20130201"},
        // 20111101 starts Tccedit2: LE counts again, levels 2 and 1.
        {"20111101", on("20111101"), "M04A0043A004AY20130201"},
        // Still Tadrg4 and Tccl1 the day before 20120701.
        {"day before 20120701", on("20120630"), "M04A0043A004AY20130201"},
        // 20120701 starts Tadrg5 and Tccl2: levels 3 and 3.
        {"20120701", on("20120701"), "M05A0054A005AZ20130201"},
        // Eight blanks sort below every digit: the first version of every table.
        {"blank date", on("        "), "M00A0002A000AX20130201"},
    });
}

}  // namespace
}  // namespace drg::testing
