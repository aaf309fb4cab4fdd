// The 43 derived conditions, each at the values on both sides of its limit.
// Every case compares the whole set of derived flags, so a rule that fires
// too often shows as well as one that fires too rarely.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "conditions/code_conditions.h"
#include "conditions/derived_conditions.h"
#include "conditions/prepare_record.h"
#include "support/loaded_release.h"
#include "support/record_builder.h"
#include "support/table_builder.h"

namespace drg::testing {
namespace {

// Adult woman, ten days, status 1, 3000 g, no ventilation: derives 798
// (weight 2500 or more), 799 (older than 27 days) and 800 (a year or older).
RecordBuilder base() {
    return RecordBuilder()
        .birthDate("500615")
        .sex('2')
        .date("20120615")
        .stayDays("010")
        .status("1")
        .birthWeight("03000")
        .ventilation("     ");
}
const std::set<int> kBase = {798, 799, 800};

// 782..823 and 853.
std::set<int> derivedNumbers() {
    std::set<int> numbers = {853};
    for (int c = 782; c <= 823; ++c) numbers.insert(c);
    return numbers;
}

// The base set without `removed`, plus `added`.
std::set<int> with(const std::set<int>& added, const std::set<int>& removed = {}) {
    std::set<int> result;
    for (int c : kBase)
        if (!removed.count(c)) result.insert(c);
    result.insert(added.begin(), added.end());
    return result;
}

// Codes named after what they raise: "H621" and "I621" each raise 621 once,
// "F389" raises 389, "P743" is a procedure of kind 357 that is also 743.
TableBuilder release() {
    TableBuilder b;
    for (int c : {602, 603, 621, 387, 398, 403, 408, 850, 357, 790}) b.diagnosisCondition("H" + std::to_string(c), c);
    for (int c : {621, 387, 398, 403, 408}) b.diagnosisCondition("I" + std::to_string(c), c);
    b.diagnosisCondition("J621", 621);
    b.diagnosisCondition("J621", 621);
    for (int i = 0; i < 128; ++i) b.diagnosisCondition("W621", 621);
    for (int i = 0; i < 128; ++i) b.diagnosisCondition("W603", 603);
    for (int i = 0; i < 258; ++i) b.diagnosisCondition("V621", 621);
    for (int c : {388, 389, 390, 391, 392, 393, 394, 395, 396, 397, 399, 400, 401, 402, 404, 405, 406, 407, 409,
                  410, 411, 412, 13, 428, 15, 39, 753, 17, 40, 755, 19, 41, 757})
        b.diagnosisCondition("F" + std::to_string(c), c);
    b.procedureCondition("P621", 621);
    b.procedureCondition("P357", 357);
    for (int x : {743, 744}) {
        b.procedureCondition("P" + std::to_string(x), 357);
        b.procedureCondition("P" + std::to_string(x), x);
    }
    b.procedureCondition("Q743", 743);
    b.procedureCondition("PALL", 357);
    for (int x : {743, 745, 746, 747, 748, 759, 358, 359}) b.procedureCondition("PALL", x);
    return b;
}

struct DerivedCase {
    std::string name;
    RecordBuilder record;
    std::set<int> expected;
    std::vector<int> only = {};  // when given, only these conditions are compared
};

void runCases(const std::vector<DerivedCase>& cases) {
    LoadedRelease loaded{release()};
    const ConditionFlags& f = loaded.state.conditions;
    for (const auto& c : cases) {
        std::string line = c.record.text();
        ASSERT_EQ(loaded.prepare(line), kPrepareOk) << c.name;
        std::set<int> derived;
        for (int n : derivedNumbers())
            if (f.flag[n]) derived.insert(n);
        if (c.only.empty()) {
            EXPECT_EQ(derived, c.expected) << c.name;
        } else {
            for (int n : c.only) EXPECT_EQ(derived.count(n), c.expected.count(n)) << c.name << ", condition " << n;
        }
    }
}

TEST(DerivedConditions, CountsOfHits) {
    std::vector<DerivedCase> cases = {
        {"602 and 603", base().diagnoses({"H602", "H603"}), with({782})},
        {"603 once", base().diagnoses({"H603"}), with({})},
        {"602 once", base().diagnoses({"H602"}), with({})},
        {"621 from two codes", base().diagnoses({"H621", "I621"}), with({783})},
        {"621 once", base().diagnoses({"H621"}), with({})},
        {"621 twice from one code", base().diagnoses({"J621"}), with({783})},
        {"621 from one procedure in two slots", base().procedures({"P621", "P621"}), with({783})},
        {"621 in repeated diagnosis", base().diagnoses({"H621", "H621"}), with({})},
        {"621 128 times reads -128", base().diagnoses({"W621"}), with({})},
        {"621 129 times reads -127", base().diagnoses({"W621", "H621"}), with({})},
        {"621 258 times reads 2", base().diagnoses({"V621"}), with({783})},
        {"603 128 times and 602", base().diagnoses({"W603", "H602"}), with({})},
        {"603 and 850", base().diagnoses({"H603", "H850"}), with({853})},
        {"850 once", base().diagnoses({"H850"}), with({})},
        {"602, 603 and 850", base().diagnoses({"H602", "H603", "H850"}), with({782, 853})},
    };
    const std::vector<std::pair<int, int>> twice = {{387, 784}, {398, 785}, {403, 786}, {408, 787}};
    for (auto [c, n] : twice) {
        const std::string h = "H" + std::to_string(c), i = "I" + std::to_string(c);
        cases.push_back({std::to_string(c) + " twice", base().diagnoses({h, i}), with({n})});
        cases.push_back({std::to_string(c) + " once", base().diagnoses({h}), with({})});
    }
    runCases(cases);
}

TEST(DerivedConditions, GroupsOfFlags) {
    const std::vector<DerivedCase> cases = {
        {"389 and 390", base().diagnoses({"F389", "F390"}), with({})},
        {"388 and 390", base().diagnoses({"F388", "F390"}), with({})},
        {"388 and 389", base().diagnoses({"F388", "F389"}), with({})},
        {"389 and 391", base().diagnoses({"F389", "F391"}), with({788})},
        {"396 and 397", base().diagnoses({"F396", "F397"}), with({788})},
        {"392 and 393 and 394", base().diagnoses({"F392", "F393", "F394"}), with({788})},
        {"395 alone", base().diagnoses({"F395"}), with({})},
        {"399 and 402", base().diagnoses({"F399", "F402"}), with({789})},
        {"400 and 401", base().diagnoses({"F400", "F401"}), with({789})},
        {"400 alone", base().diagnoses({"F400"}), with({})},
        {"404 and 407", base().diagnoses({"F404", "F407"}), with({790})},
        {"405 and 406", base().diagnoses({"F405", "F406"}), with({790})},
        {"403 and 404", base().diagnoses({"H403", "F404"}), with({})},
        {"409 and 412", base().diagnoses({"F409", "F412"}), with({791})},
        {"410 and 411", base().diagnoses({"F410", "F411"}), with({791})},
        {"408 and 409", base().diagnoses({"H408", "F409"}), with({})},
        {"13", base().diagnoses({"F13"}), with({801})},
        {"428", base().diagnoses({"F428"}), with({801})},
        {"15", base().diagnoses({"F15"}), with({810})},
        {"39", base().diagnoses({"F39"}), with({810})},
        {"753", base().diagnoses({"F753"}), with({810})},
        {"17", base().diagnoses({"F17"}), with({811})},
        {"40", base().diagnoses({"F40"}), with({811})},
        {"755", base().diagnoses({"F755"}), with({811})},
        {"19", base().diagnoses({"F19"}), with({812})},
        {"41", base().diagnoses({"F41"}), with({812})},
        {"757", base().diagnoses({"F757"}), with({812})},
        // A derived condition raised by a code stays raised: rules only add.
        {"790 from a code", base().diagnoses({"H790"}), with({790})},
    };
    runCases(cases);
}

TEST(DerivedConditions, BirthWeightBands) {
    struct Weight {
        const char* text;
        std::set<int> bands;
    };
    const std::vector<Weight> weights = {
        {"    1", {797, 796}},   {"  749", {797, 796}}, {"  750", {795, 796}},  {"  999", {795, 796}},
        {" 1000", {792, 796}},   {" 1249", {792, 796}}, {" 1250", {792}},       {" 1499", {792}},
        {" 1500", {793}},        {" 1999", {793}},      {" 2000", {794}},       {" 2499", {794}},
        {" 2500", {798}},        {"32767", {798}},      {"     ", {796, 823}},  {"00000", {796, 823}},
        {"12a45", {796, 823}},   {"40000", {796, 823}}, {"65537", {797, 796}},
    };
    std::vector<DerivedCase> cases;
    for (const auto& w : weights)
        cases.push_back({std::string("weight '") + w.text + "'", base().birthWeight(w.text), with(w.bands, {798})});
    runCases(cases);
}

TEST(DerivedConditions, AgeStayStatusAndVentilation) {
    const std::vector<DerivedCase> cases = {
        {"27 days old", base().sex('4').birthDate("120101").date("20120128"), with({}, {799, 800})},
        {"28 days old", base().sex('4').birthDate("120101").date("20120129"), with({}, {800})},
        {"one year old", base().sex('4').birthDate("110615").date("20120615"), with({})},
        {"born after the stay", base().sex('4').birthDate("120620").date("20120615"), with({822}, {799, 800})},
        {"birth month 13", base().birthDate("501315"), with({822}, {799, 800})},
        {"stay 1", base().stayDays("  1"), with({802, 803, 804})},
        {"stay 2", base().stayDays("002"), with({802, 803})},
        {"stay 3", base().stayDays("3  "), with({803})},
        {"stay 4", base().stayDays("004"), with({803})},
        {"stay 5", base().stayDays("005"), with({})},
        {"stay blank", base().stayDays("   "), with({802, 803})},
        {"stay with minus", base().stayDays("0-1"), with({802, 803})},
        {"status 0", base().status("0"), with({})},
        {"status 1", base().status("1"), with({})},
        {"status 2", base().status("2"), with({816, 817})},
        {"status 3", base().status("3"), with({816, 817})},
        {"status 4", base().status("4"), with({817, 818})},
        {"status 5", base().status("5"), with({})},
        {"status letter", base().status("x"), with({})},
        {"ventilation 24", base().ventilation("   24"), with({})},
        {"ventilation 25", base().ventilation("   25"), with({820})},
        {"ventilation 95", base().ventilation("00095"), with({820})},
        {"ventilation 96", base().ventilation("   96"), with({820, 821})},
        {"ventilation 32768", base().ventilation("32768"), with({})},
        {"ventilation 65561", base().ventilation("65561"), with({820})},
        {"ventilation letter", base().ventilation("9x   "), with({})},
    };
    runCases(cases);

    // The century digit also moves the birth year; only 819 is compared.
    // '/' reads as -1: odd, so male.
    std::vector<DerivedCase> sexes;
    for (char c : std::string("13579/"))
        sexes.push_back({std::string("sex ") + c, base().sex(c), {819}, {819}});
    for (char c : std::string("02468 "))
        sexes.push_back({std::string("sex '") + c + "'", base().sex(c), {}, {819}});
    runCases(sexes);
}

TEST(DerivedConditions, ProcedureOfKind357WithoutAnother) {
    const std::set<int> all = {805, 806, 807, 808, 809, 813, 814, 815};
    const std::vector<DerivedCase> cases = {
        {"357 in slot 11", base().slot(11, "P357"), with(all)},
        {"357 in slot 41", base().slot(41, "P357"), with(all)},
        {"357 in slot 42", base().slot(42, "P357"), with({})},
        {"357 in slot 46", base().slot(46, "P357"), with({})},
        {"357 and 743 in slot 12", base().slot(12, "P743"), with({806, 807, 808, 809, 813, 814, 815})},
        {"357 and 744", base().slot(11, "P744"), with(all)},
        {"357 with every other", base().slot(11, "PALL"), with({})},
        {"full row, then 357 beyond slot 41", base().slot(11, "PALL").slot(42, "P357"), with({})},
        {"full row, then 357 alone", base().slot(11, "PALL").slot(12, "P357"), with(all)},
        {"357 alone, then full row", base().slot(11, "P357").slot(41, "PALL"), with(all)},
        // Each test looks at one row: 743 in another slot does not count.
        {"743 alone, then 357 alone", base().slot(11, "Q743").slot(12, "P357"), with(all)},
        {"357 and 743, then 743 alone", base().slot(11, "P743").slot(12, "Q743"),
         with({806, 807, 808, 809, 813, 814, 815})},
        // 357 from a diagnosis sets the flag but no procedure row.
        {"357 from a diagnosis", base().diagnoses({"H357"}), with({})},
    };
    runCases(cases);
}

TEST(DerivedConditions, MarksEveryDerivedConditionAndNoOther) {
    LoadedRelease loaded{release()};
    const ConditionFlags& f = loaded.state.conditions;
    std::string line = base().text();
    ASSERT_EQ(loaded.prepare(line), kPrepareOk);
    std::set<int> marked;
    for (int c = 0; c < f.conditionCount; ++c)
        if (f.derivedMark[c]) marked.insert(c);
    EXPECT_EQ(marked, derivedNumbers());
}

// The list of conditions the derived rules read (used to tell an author of a
// condition nothing uses) must name exactly the conditions that change what
// the rules derive, alone or beside one listed condition: each raised twice
// and marked in a procedure slot of kind 357.
TEST(DerivedConditions, ReadByDerivedRuleNamesWhatTheRulesRead) {
    LoadedRelease loaded(release());
    ClaimState without357 = loaded.freshState();
    without357.codeIds[kFirstProcedureSlot] = 1;
    without357.codedSlots[0] = static_cast<uint8_t>(kFirstProcedureSlot);
    without357.codedSlotCount = 1;
    const int count = without357.conditions.conditionCount;
    auto raise = [](ClaimState& state, int c) {
        raiseCondition(state.conditions, c);
        state.conditions.hitCount[static_cast<size_t>(c)] = 2;
        state.conditions.slotMarks[0] |= slotMarkBit(c);  // the marks of the first procedure slot
    };
    auto derived = [](ClaimState& state) {
        deriveConditions(state);
        std::vector<uint8_t> flags;
        for (int n : derivedNumbers()) flags.push_back(state.conditions.flag[static_cast<size_t>(n)]);
        return flags;
    };
    const std::set<int> derivedSet = derivedNumbers();
    std::vector<bool> read(static_cast<size_t>(count), false);
    // Marks every condition whose raising changes what `base` derives.
    auto markWhatMatters = [&](const ClaimState& base) {
        ClaimState copy = base;
        const std::vector<uint8_t> before = derived(copy);
        for (int c = 1; c < count; ++c) {
            if (read[static_cast<size_t>(c)] || derivedSet.count(c) || c == 357) continue;
            ClaimState raised = base;
            raise(raised, c);
            if (derived(raised) != before) read[static_cast<size_t>(c)] = true;
        }
    };
    ClaimState with357 = without357;
    raise(with357, 357);
    ClaimState derivedWith = with357, derivedWithout = without357;
    read[357] = derived(derivedWith) != derived(derivedWithout);
    markWhatMatters(with357);
    for (int partner = 1; partner < count; ++partner)
        if (partner != 357 && readByDerivedRule(partner)) {
            ClaimState paired = with357;
            raise(paired, partner);
            markWhatMatters(paired);
        }
    for (int c = 1; c < count; ++c) {
        if (derivedSet.count(c)) continue;
        EXPECT_EQ(read[static_cast<size_t>(c)], readByDerivedRule(c)) << "condition " << c;
    }
}

}  // namespace
}  // namespace drg::testing
