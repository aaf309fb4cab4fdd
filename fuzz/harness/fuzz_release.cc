#include "harness/fuzz_release.h"

#include <filesystem>
#include <stdexcept>
#include <unistd.h>

#include "record/record_layout.h"
#include "support/record_builder.h"

namespace drg::fuzz {
namespace {

// Removed when the process ends. Built before the first folder is made, so
// it outlives the static releases that live in the folders.
struct ScratchFolders {
    std::vector<std::string> paths;
    ~ScratchFolders() {
        std::error_code ignored;
        for (const std::string& p : paths) std::filesystem::remove_all(p, ignored);
    }
};

ScratchFolders& scratchFolders() {
    static ScratchFolders folders;
    return folders;
}

}  // namespace

testing::TableBuilder smallRelease() {
    testing::TableBuilder b;
    const int pre = b.mdc("PRE"), nerves = b.mdc("001"), lungs = b.mdc("002");
    const int ventilated = b.adrg("A010"), surgery = b.adrg("B010"), medicine = b.adrg("B600");
    const int lungMedicine = b.adrg("C600"), newborn = b.adrg("C700");
    for (const char* drg : {"A010Z", "B010A", "B010B", "B600Z", "C600A", "C600B", "C700Z"}) b.drg(drg);

    b.conditionSlots(100, 1, 1);
    b.conditionSlots(101, 1, 1);
    b.conditionSlots(102, 1, 1);
    b.conditionSlots(373, 1, 1);
    b.conditionSlots(388, 1, 1);
    b.conditionSlots(200, 2, 10);
    b.diagnosisCondition("G40.0", 100);
    b.diagnosisCondition("A17.0", 100, {20050101, testing::kEndOfTime});
    b.diagnosisCondition("G01", 101);
    b.diagnosisCondition("J18.9", 101, {testing::kBeginningOfTime, 20101231});
    b.diagnosisCondition("J18.9", 102, {20110101, testing::kEndOfTime});
    b.diagnosisCondition("N40", 388);
    b.diagnosisCondition("O80", 373);
    b.diagnosisCondition("I10", 200);
    b.diagnosisCondition("I10", 602);
    b.diagnosisCondition("S72.0", 603);
    b.diagnosisCondition("S72.0", 389);
    b.diagnosisCondition("S82.1", 391);
    b.diagnosisCondition("S82.1", 603);
    b.procedureCondition("5-010", 357);
    b.procedureCondition("5-011", 357);
    b.procedureCondition("5-011", 743);
    b.procedureCondition("8-930", 428);
    b.procedureCondition("1-204", 759);
    b.daggerPair("G01", "A17.0", {20080101, testing::kEndOfTime});

    b.decisionRow({.range = pre, .mustSet = {100, 821}, .mdc = pre, .adrg = ventilated});
    b.decisionRow({.range = pre, .mustSet = {797}, .mustClear = {799, 800}, .mdc = lungs, .adrg = newborn});
    b.decisionRow({.range = pre, .mustSet = {788}, .mdc = nerves, .adrg = surgery});
    b.decisionRow({.range = pre, .mustSet = {100}, .mdc = nerves, .adrg = medicine});
    b.decisionRow({.range = pre, .mustSet = {388}, .mustClear = {819}, .mdc = nerves, .adrg = medicine});
    b.decisionRow({.range = pre, .mustSet = {101}, .mdc = lungs, .adrg = lungMedicine, .versions = {0, 1, 2}});
    b.decisionRow({.range = pre, .mustSet = {102}, .mdc = lungs, .adrg = lungMedicine, .versions = {3, 4, 5}});
    b.decisionRow({.range = nerves, .mustSet = {805}, .adrg = surgery});
    b.decisionRow({.range = nerves, .mustSet = {800, 820}, .adrg = surgery, .dated = {20100615, 20100615}});
    b.decisionRow({.range = nerves, .adrg = medicine});
    b.decisionRow({.range = lungs, .mustSet = {819, 782}, .adrg = lungMedicine});
    b.decisionRow({.range = lungs, .adrg = lungMedicine});

    b.refinementRow("A010", -1, 150, 'Z');
    b.refinementRow("B010", 0, 17, 'A');
    b.refinementRow("B010", 18, 120, 'B');
    b.refinementRow("B600", -1, 150, 'Z');
    b.refinementRow("C600", 0, 64, 'A', {testing::kBeginningOfTime, 20091231});
    b.refinementRow("C600", 0, 69, 'A', {20100101, testing::kEndOfTime});
    b.refinementRow("C600", 65, 150, 'B');
    b.refinementRow("C700", 0, 0, 'Z');

    b.levelRow("I10", {{"B010", '3'}, {"C600", '2'}}, '1');
    b.levelRow("S72.0", {}, '4', {}, {1, 2});
    b.levelRow("S82.1", {{"B600", '0'}}, '3', {20050101, 20121231});
    b.levelRow("N40", {{"B010", '2'}});
    b.levelRow("O80", {}, '3');
    b.levelRow("G40.0", {}, '2', {}, {0});
    b.exclusions("I10", {"G40.0", "S72.0"});
    b.exclusions("S72.0", {"S82.1", "I10"}, {1, 2});
    b.exclusions("S82.1", {"S72.0"});
    b.splitRow("B010A", "DCBAA");
    b.splitRow("B010B", "BBA");  // NUL for PCCL 3 and 4
    b.splitRow("B600Z", "ZZZZZ", {testing::kBeginningOfTime, 20091231});
    b.splitRow("C600A", "CCBBA");
    b.splitRow("C700Z", "ZZZZZ");
    return b;
}

std::vector<std::string> probeRecords() {
    using testing::RecordBuilder;
    std::vector<std::string> records;
    for (const char* date : {"20040101", "20090601", "20100615", "20111231", "20130101"})
        for (char sex : {'1', '2'}) {
            records.push_back(RecordBuilder().birthDate("500615").sex(sex).date(date).stayDays("004")
                                  .diagnoses({"G40.0", "I10", "S72.0", "S82.1", "N40", "O80"})
                                  .procedures({"5-010", "5-011", "8-930", "1-204"}).ventilation("00030").text());
            records.push_back(RecordBuilder().birthDate("100615").sex(sex).date(date)
                                  .diagnoses({"G01", "A17.0", "I10", "X99.9"}).procedures({"5-011"}).text());
        }
    records.push_back(RecordBuilder().birthDate("120610").sex('3').date("20120620").birthWeight("00700")
                          .diagnoses({"J18.9", "I10"}).text());
    records.push_back(RecordBuilder().birthDate("451301").sex('1').date("20100615")
                          .diagnoses({"g40.0", "s72.0", "s82.1"}).procedures({"5-010"}).ventilation("00120").text());
    return records;
}

std::string checkGroupedRecord(const std::string& input, const std::string& output) {
    if (output.size() != input.size()) return "the record changed its length";
    for (size_t i = 0; i < input.size(); ++i) {
        if (i >= static_cast<size_t>(kMdcOut.offset) && i < static_cast<size_t>(kRecordLength)) continue;
        const char c = input[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (output[i] != upper) return "byte " + std::to_string(i) + " outside the result columns changed";
    }
    const char pccl = output[static_cast<size_t>(kPcclOut.offset)];
    if (pccl < '0' || pccl > '4') return std::string("PCCL column holds '") + pccl + "'";
    if (output.compare(static_cast<size_t>(kVersionDateOut.offset), 8, "20130201") != 0)
        return "the date stamp is not 20130201";
    return "";
}

std::string scratchFolder(const char* prefix) {
    ScratchFolders& folders = scratchFolders();
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    folders.paths.push_back(pattern);
    return pattern;
}

}  // namespace drg::fuzz
