#include "harness/record_harness.h"

#include <set>
#include <stdexcept>

#include "conditions/claim_state.h"
#include "engine/record_grouping.h"
#include "record/record_layout.h"
#include "tables/table_loader.h"

namespace drg::fuzz {
namespace {

// A table text as a result column shows it: up to a NUL, then blanks.
std::string columnText(const char* text, size_t width) {
    std::string shown(width, ' ');
    for (size_t i = 0; i < width && text[i] != '\0'; ++i) shown[i] = text[i];
    return shown;
}

std::set<std::string> columnTexts(const CodeTextTable& table) {
    std::set<std::string> texts;
    for (uint32_t i = 1; i < table.count; ++i) texts.insert(columnText(table.text.at(i), table.text.width));
    return texts;
}

struct FixedRelease {
    Release release;
    const TableSet& tables = release.tables;
    std::set<std::string> mdcs, adrgs, refined;
    std::set<char> splitCharacters = {'0'};

    FixedRelease() {
        const std::string folder = scratchFolder("drg-fuzz-record-");
        smallRelease().write(folder);
        std::string problem;
        if (loadRelease(release, folder, &problem) != kLoadOk) throw std::runtime_error(problem);
        mdcs = columnTexts(tables.mdcCodes);
        mdcs.insert("000");
        adrgs = columnTexts(tables.adrgCodes);
        adrgs.insert("0000");
        refined = columnTexts(tables.refinedCodes);
        for (char c : tables.splits.splitCharacters)
            if (c != '\0') splitCharacters.insert(c);
    }
};

// The one place this target calls the grouper: one claim state for the
// whole run, as the batch program keeps it.
int groupOne(const Release& release, char* record, size_t length) {
    static ClaimState state = [&] {
        ClaimState s;
        initClaimState(s, release);
        return s;
    }();
    return groupRecord(state, release, record, length);
}

std::string column(const std::string& record, RecordField field) {
    return record.substr(static_cast<size_t>(field.offset), static_cast<size_t>(field.width));
}

}  // namespace

FuzzOutcome runRecord(const uint8_t* data, size_t size) {
    static const FixedRelease release;
    std::string input(reinterpret_cast<const char*>(data), size);
    if (input.size() < static_cast<size_t>(kRecordLength)) input.resize(kRecordLength, ' ');
    std::string record = input;
    FuzzOutcome outcome;
    const int result = groupOne(release.release, record.data(), record.size());
    if (result != 0) {
        outcome.fault = "grouping returned " + std::to_string(result);
        return outcome;
    }
    outcome.reachedGrouping = column(record, kMdcOut) != "000";
    outcome.fault = checkGroupedRecord(input, record);
    const std::string drg = column(record, kDrgOut);
    if (!outcome.fault.empty()) return outcome;
    if (!release.mdcs.count(column(record, kMdcOut)))
        outcome.fault = "MDC column holds no MDC of the release";
    else if (!release.adrgs.count(column(record, kAdrgOut)))
        outcome.fault = "ADRG column holds no ADRG of the release";
    else if (drg != "000000" && (!release.refined.count(drg.substr(0, 5)) || !release.splitCharacters.count(drg[5])))
        outcome.fault = "DRG column holds " + drg;
    return outcome;
}

std::vector<std::string> recordSeeds() { return probeRecords(); }

}  // namespace drg::fuzz
