#include "tools/tool_test_support.h"

#include <gtest/gtest.h>

#include <random>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "tables/condition_kinds.h"
#include "support/record_builder.h"
#include "tables/table_loader.h"
#include "tables/table_writer.h"
#include "tablesource/source_compiler.h"

namespace drg::testing {

TableBuilder generatedRelease(std::vector<std::string>* diagnoses, std::vector<std::string>* procedures) {
    TableBuilder b;
    const int pre = b.mdc("PRE"), circ = b.mdc("05"), resp = b.mdc("04"), newborn = b.mdc("15");
    b.mdc("09");  // an MDC without rows
    const int vent = b.adrg("A060"), heartOp = b.adrg("F010"), heart = b.adrg("F600"), lung = b.adrg("E600"),
              neo = b.adrg("P600"), lungOld = b.adrg("E610");
    // An ADRG and its refinement character; F600B and F600C are never given.
    for (const char* refined :
         {"A060A", "A060B", "F010A", "F010B", "F600A", "F600B", "F600C", "E600A", "E610Z", "P600A"})
        b.drg(refined);
    // Conditions: 100 circulatory principal, 101 respiratory principal, 102 heart operation,
    // 103 newborn principal, 104 any slot; 373/388 sex-specific principal conditions.
    for (int c : {100, 101, 103, 373, 388}) b.conditionSlots(c, 1, 1);
    b.conditionSlots(104, 2, 10);
    b.diagnosisCondition("I21.0", 100);
    b.diagnosisCondition("I50.1", 100, {0, 20091231});
    b.diagnosisCondition("I50.1", 101, {20100101, testing::kEndOfTime});
    b.diagnosisCondition("J18.9", 101);
    b.diagnosisCondition("P07.1", 103);
    b.diagnosisCondition("N40", 373);
    b.diagnosisCondition("O80", 388);
    b.diagnosisCondition("E11.9", 104);
    b.procedureCondition("5-361", 102);
    b.procedureCondition("5-362", 102, {20050101, testing::kEndOfTime});
    b.procedureCondition("8-711", 357);
    b.daggerPair("A17.0", "G01");
    b.daggerPair("A17.0", "G02", {0, 20091231});
    b.diagnosis("G02");

    b.decisionRow({.range = pre, .mustSet = {820, 102}, .mustClear = {}, .mdc = pre, .adrg = vent});
    b.decisionRow({.range = pre, .mustSet = {103}, .mustClear = {800}, .mdc = newborn, .adrg = neo});
    b.decisionRow({.range = pre, .mustSet = {100}, .mustClear = {}, .mdc = circ, .adrg = heart});
    b.decisionRow({.range = pre, .mustSet = {101}, .mustClear = {}, .mdc = resp, .adrg = lung,
                   .versions = {3, 4, 5}});
    b.decisionRow({.range = pre, .mustSet = {101}, .mustClear = {}, .mdc = resp, .adrg = lungOld,
                   .versions = {0, 1, 2}});
    b.decisionRow({.range = circ, .mustSet = {102}, .mustClear = {822}, .mdc = circ, .adrg = heartOp,
                   .dated = {20050101, testing::kEndOfTime}});
    b.decisionRow({.range = circ, .mustSet = {}, .mustClear = {}, .mdc = circ, .adrg = heart});
    b.decisionRow({.range = resp, .mustSet = {820}, .mustClear = {}, .mdc = resp, .adrg = vent,
                   .versions = {5}});

    b.refinementRow("A060", 0, 17, 'B');
    b.refinementRow("A060", 18, 150, 'A');
    b.refinementRow("F010", -1, 64, 'B', {0, 20101231});
    b.refinementRow("F010", 65, 150, 'A');
    b.refinementRow("F600", 0, 150, 'A');
    b.refinementRow("E600", 0, 150, 'A');
    b.refinementRow("E610", 0, 150, 'Z');
    b.refinementRow("P600", 0, 0, 'A');

    b.levelRow("E11.9", {{"F600", '2'}, {"F010", '3'}}, '1');
    b.levelRow("I50.1", {{"E600", '4'}}, '3', {0, 20101231});
    b.levelRow("I50.1", {{"E600", '4'}}, '2', {20110101, testing::kEndOfTime});
    b.levelRow("J18.9", {{"F600", '3'}}, '2', {}, {1, 2});
    b.levelRow("N40", {}, '2');
    b.levelRow("O80", {}, '3');
    b.levelRow("I21.0", {{"A060", '4'}}, '3');
    b.exclusions("E11.9", {"I21.0", "I50.1"});
    b.exclusions("J18.9", {"J18.9", "I50.1"}, {1, 2});
    b.exclusions("I50.1", {"E11.9"}, {2});

    b.splitRow("A060A", "01234");
    b.splitRow("A060B", "AABBC");
    b.splitRow("F010A", "XXYYZ", {0, 20091231});
    b.splitRow("F010A", "AXYYZ");
    b.splitRow("F600A", std::string("00", 2) + "A");
    b.splitRow("E600A", "ABCDE");
    b.splitRow("P600A", "ABCDE");

    if (diagnoses)
        *diagnoses = {"I21.0", "I50.1", "J18.9", "P07.1", "N40", "O80", "E11.9", "A17.0", "G01", "G02"};
    if (procedures) *procedures = {"5-361", "5-362", "8-711"};
    return b;
}

std::vector<std::string> generatedRecords(const std::vector<std::string>& diagnoses,
                                          const std::vector<std::string>& procedures, size_t count,
                                          unsigned seed) {
    static const char* const dates[] = {"20041231", "20050101", "20071231", "20080101", "20081231", "20090101",
                                        "20090930", "20091001", "20091130", "20091201", "20091231", "20100101",
                                        "20101231", "20110101", "20111031", "20111101", "20120630", "20120701",
                                        "20130501", "        "};
    static const char* const births[] = {"130420", "120101", "080101", "950101", "450101", "000000", "  AB  "};
    static const char* const weights[] = {"     ", "  600", " 1100", " 2600", "4x00 "};
    static const char* const hours[] = {"     ", "   24", "   30", "  120"};
    std::mt19937 random(seed);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    std::vector<std::string> codes = diagnoses;
    codes.push_back("Z99.9");  // unknown
    std::vector<std::string> records;
    for (size_t i = 0; i < count; ++i) {
        RecordBuilder r;
        r.birthDate(births[pick(std::size(births))]).sex(static_cast<char>('1' + pick(4)));
        r.date(dates[pick(std::size(dates))]).birthWeight(weights[pick(std::size(weights))]);
        r.ventilation(hours[pick(std::size(hours))]).stayDays(std::to_string(1 + pick(9)));
        std::vector<std::string> dx;
        for (size_t k = 0, n = 1 + pick(5); k < n; ++k) dx.push_back(codes[pick(codes.size())]);
        if (pick(10) == 0) dx[0] = "";  // no principal diagnosis
        r.diagnoses(dx);
        std::vector<std::string> sg;
        for (size_t k = 0, n = pick(3); k < n; ++k) sg.push_back(procedures[pick(procedures.size())]);
        r.procedures(sg);
        records.push_back(r.text());
    }
    return records;
}

std::vector<std::string> groupOutcomes(const TableSet& tables, const std::vector<std::string>& records) {
    // A set that failed to build or load (the test has failed already) would
    // be read out of bounds, and the crash would end every test after this one.
    if (::testing::Test::HasFailure()) return {};
    Release release;
    release.tables = tables;
    prepareRelease(release);
    ClaimState state;
    initClaimState(state, release);
    std::vector<std::string> out;
    for (std::string record : records) {
        const int result = groupRecord(state, release, record.data(), record.size());
        out.push_back(std::to_string(result) + " " + record);
    }
    return out;
}

std::vector<std::string> groupAll(const TableSet& tables, const std::vector<std::string>& records) {
    std::vector<std::string> grouped;
    for (const std::string& outcome : groupOutcomes(tables, records)) {
        EXPECT_EQ(outcome.substr(0, 2), "0 ");
        grouped.push_back(outcome.substr(2));
    }
    return grouped;
}

TableSet writeAndLoad(const TableSet& tables, const std::string& directory) {
    std::string problem;
    EXPECT_TRUE(writeTableFiles(tables, directory, &problem)) << problem;
    TableSet loaded;
    EXPECT_EQ(loadTables(loaded, directory, &problem), kLoadOk) << problem;
    return loaded;
}

source::Source parseSource(const std::map<std::string, std::string>& files) {
    source::Source out;
    source::Diagnostics diagnostics;
    for (const auto& [name, text] : files) out[name] = source::parseSourceText(text, name, diagnostics);
    for (const auto& d : diagnostics.all()) ADD_FAILURE() << source::formatDiagnostic(d);
    return out;
}

TableSet compileOrFail(const source::Source& source, const source::CompileOptions& options) {
    source::Diagnostics diagnostics;
    auto tables = source::compileSource(source, diagnostics, options);
    for (const auto& d : diagnostics.all())
        if (!d.warning) ADD_FAILURE() << source::formatDiagnostic(d);
    return tables ? *tables : TableSet{};
}

const Files kSmallSource = {{"diagnoses.tsv", "code\nA01\nB02\n"},
                            {"mdcs.tsv", "code\n01\n"},
                            {"adrgs.tsv", "code\nB010\n"},
                            {"refined.tsv", "code\nB010A\n"}};

Files with(Files base, const Files& changes) {
    for (const auto& [name, text] : changes) base[name] = text;
    return base;
}

std::string firstDiagnostic(const Files& files, const source::CompileOptions& options, bool* built) {
    source::Diagnostics diagnostics;
    const bool compiled = source::compileSource(parseSource(files), diagnostics, options).has_value();
    if (built) *built = compiled;
    return diagnostics.all().empty() ? "" : source::formatDiagnostic(diagnostics.all()[0]);
}

bool sameSource(const source::Source& a, const source::Source& b, std::string* difference) {
    std::string ignored;
    if (!difference) difference = &ignored;
    for (const auto& [name, file] : a) {
        auto it = b.find(name);
        if (it == b.end()) {
            *difference = name + " only in the first";
            return false;
        }
        if (!source::sameContent(file, it->second)) {
            *difference = name + " differs:\n" + source::printSourceText(file) + "---\n" +
                          source::printSourceText(it->second);
            return false;
        }
    }
    for (const auto& [name, file] : b)
        if (!a.count(name)) {
            *difference = name + " only in the second";
            return false;
        }
    return true;
}

}  // namespace drg::testing
