// Golden run: MDC and ADRG assignment and the refined code, through the batch
// program. Every expected line was worked out by hand from the release below.
#include <gtest/gtest.h>

#include "e2e/golden_releases.h"
#include "support/grouping_fixture.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

// A man born 15 June 1950, staying in June 2012 (age 61) unless said otherwise.
RecordBuilder stay(const std::vector<std::string>& diagnoses, const std::vector<std::string>& procedures = {}) {
    return RecordBuilder().birthDate("500615").sex('1').date("20120615").diagnoses(diagnoses).procedures(procedures);
}

TEST(GoldenGrouping, MdcAdrgAndRefinedCode) {
    expectGoldenRun(goldenGroupingRelease(), {
        // ADRG pass: the first row of range 2 replaces the MDC pass's F020; adult suffix B; split profile byte 0.
        {"first row of the MDC's range", stay({"I21.0"}, {"1-275"}), "05 F0100F010BA20130201"},
        // ADRG pass: the empty last row of range 2 is its default; no split row gives "0".
        {"empty row as the range default", stay({"I21.0"}), "05 F0200F020Z020130201"},
        // A level-2 secondary for F010: PCCL 2 chooses profile byte 2.
        {"PCCL picks the split character", stay({"I21.0", "E11.9"}, {"1-275"}), "05 F0102F010BC20130201"},
        // Range 3: both conditions set; age 61 fits the second row (0..65) after missing the first (66..).
        {"MDC pass gives no ADRG, ADRG pass does", stay({"S72.0", "E11.9"}, {"5-820"}), "08 I0801I080B020130201"},
        // Age 66 on the first day it is reached fits the first refinement row.
        {"lowest age of a refinement row",
         RecordBuilder().birthDate("460615").sex('1').date("20120615").diagnoses({"S72.0"}).procedures({"5-820"}),
         "08 I0800I080A020130201"},
        // Must-clear 111 holds; I090 has no refinement row, so its suffix is "0".
        {"must-clear condition and suffix 0", stay({"S72.0"}), "08 I0900I0900020130201"},
        // Last day of the dated I090 row.
        {"last day of a dated decision row",
         RecordBuilder().birthDate("500615").sex('1').date("20121231").diagnoses({"S72.0"}),
         "08 I0900I0900020130201"},
        // The day after: no row of range 3 matches, the MDC pass's ADRG 0 stands, nothing is refined.
        {"ADRG pass finds nothing",
         RecordBuilder().birthDate("500615").sex('1').date("20130101").diagnoses({"S72.0"}),
         "08 0000000000020130201"},
        // Unknown code: the empty range-1 row gives MDC 0 with ADRG Z999, which is still refined.
        {"row with MDC 0 and an ADRG", stay({"X99.9"}), "000Z9990Z999Z020130201"},
        // Lower-case codes are found after upper-casing, and come out upper-cased.
        {"lower-case input", stay({"i21.0"}, {"1-275"}), "05 F0100F010BA20130201"},
    });
}

}  // namespace
}  // namespace drg::testing
