// lookupCode compares whole texts as numbers when it can, and a run may look
// codes up in a hash table instead; both must answer what the binary search
// with the byte-by-byte bounded comparison answers, on sorted and unsorted
// indices alike, with NULs and bytes above 127 on either side.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "record/record_layout.h"
#include "tables/code_lookup.h"
#include "tables/table_lookups.h"

namespace drg {
namespace {

int16_t referenceLookup(const TextArray& codes, const std::vector<int16_t>& ids, uint32_t count,
                        const char* text, int width) {
    uint32_t lo = 0, hi = count;
    for (uint32_t step = (hi - lo) / 2; step != 0; step = (hi - lo) / 2) {
        const uint32_t mid = lo + step;
        const int order = boundedCompare(text, codes.at(mid), width);
        if (order == 0) return ids[mid];
        if (order < 0)
            hi = mid;
        else
            lo = mid;
    }
    return 0;
}

std::string randomCode(std::mt19937& rng, int width) {
    static const char alphabet[] = {'\0', ' ', '.', '0', '9', 'A', 'Z', '\x80', '\xff'};
    std::string code;
    for (int i = 0; i < width; ++i) code += alphabet[rng() % sizeof alphabet];
    return code;
}

TEST(CodeLookupEquivalence, AgreesWithTheByteComparisonOnRandomIndices) {
    std::mt19937 rng(17);
    for (int round = 0; round < 400; ++round) {
        TableSet tables;
        const uint16_t count = static_cast<uint16_t>(rng() % 50);
        std::vector<std::string> dx, sg;
        for (uint16_t i = 0; i < count; ++i) {
            dx.push_back(randomCode(rng, 6));
            sg.push_back(randomCode(rng, 5));
        }
        if (round % 2 == 0) {  // sorted indices, as releases deliver them
            std::sort(dx.begin(), dx.end());
            std::sort(sg.begin(), sg.end());
        }
        if (round % 8 == 0 && count > 4) {  // a repeated code: no longer strictly ascending
            dx[3] = dx[2];
            sg[3] = sg[2];
        }
        tables.diagnosisIndex.count = tables.procedureIndex.count = count;
        for (uint16_t i = 0; i < count; ++i) {
            tables.diagnosisIndex.code.bytes.insert(tables.diagnosisIndex.code.bytes.end(), dx[i].begin(), dx[i].end());
            tables.procedureIndex.code.bytes.insert(tables.procedureIndex.code.bytes.end(), sg[i].begin(), sg[i].end());
            // Ids of any sign: the hash table keeps them in 16 bits beside the key.
            const int sign = round % 3 == 0 ? -1 : 1;
            tables.diagnosisIndex.id.push_back(static_cast<int16_t>(sign * (1000 + i)));
            tables.procedureIndex.id.push_back(static_cast<int16_t>(sign * (32000 + i)));
        }
        // Entry ranges that differ from id to id, so a range that follows the
        // wrong id shows.
        CodeConditionTable& entries = tables.codeConditions;
        for (int32_t id = 0; id < 32100; ++id) {
            if (id < 1100) entries.diagnosisEntryBegin.push_back(id * 7 % 1009);
            if (id < 1100) entries.diagnosisEntryEnd.push_back(id * 7 % 1009 + id % 5);
            entries.procedureEntryBegin.push_back(id * 11 % 2003);
            entries.procedureEntryEnd.push_back(id * 11 % 2003 + id % 3);
        }
        entries.entryCondition.assign(2010, 0);
        entries.entryValidFrom.assign(2010, 0);
        entries.entryValidTo.assign(2010, 0);
        const TableLookups lookups = buildTableLookups(tables);
        for (int probe = 0; probe < 80; ++probe) {
            const bool known = count > 0 && probe % 2 == 0;
            const std::string d = known ? dx[rng() % count] : randomCode(rng, 6);
            const std::string p = known ? sg[rng() % count] : randomCode(rng, 5);
            const int16_t wantDiagnosis =
                referenceLookup(tables.diagnosisIndex.code, tables.diagnosisIndex.id, count, d.data(), 6);
            const int16_t wantProcedure =
                referenceLookup(tables.procedureIndex.code, tables.procedureIndex.id, count, p.data(), 5);
            ASSERT_EQ(lookupCode(tables, d.data(), 1 + probe % 10), wantDiagnosis) << "round " << round;
            ASSERT_EQ(lookupCode(tables, p.data(), 11 + probe % 36), wantProcedure) << "round " << round;
            // The hash table, where the index allows one, answers the same.
            ASSERT_EQ(lookupSlotCode(lookups, tables, d.data(), 1 + probe % 10), wantDiagnosis) << "round " << round;
            ASSERT_EQ(lookupSlotCode(lookups, tables, p.data(), 11 + probe % 36), wantProcedure) << "round " << round;
        }
        // A whole record's slots at once, in the order a record lists them.
        std::string record(kRecordLength, ' ');
        std::array<uint8_t, kSlotCount> slots{};
        std::array<int16_t, kSlotCount> want{}, got{};
        for (int s = 1; s <= kLastSlot; ++s) {
            const RecordField f = codeSlotField(s);
            const std::vector<std::string>& known = s <= kDiagnosisSlots ? dx : sg;
            const std::string text = count > 0 && s % 2 == 0 ? known[rng() % count] : randomCode(rng, f.width);
            record.replace(f.offset, f.width, text);
            const TextArray& codes = s <= kDiagnosisSlots ? tables.diagnosisIndex.code : tables.procedureIndex.code;
            const std::vector<int16_t>& ids = s <= kDiagnosisSlots ? tables.diagnosisIndex.id : tables.procedureIndex.id;
            slots[static_cast<size_t>(s - 1)] = static_cast<uint8_t>(s);
            want[static_cast<size_t>(s - 1)] = referenceLookup(codes, ids, count, text.data(), f.width);
        }
        std::array<CodeEntryRange, kSlotCount> ranges{};
        lookupSlotCodes(lookups, tables, record.data(), slots.data(), kLastSlot, got.data(), ranges.data());
        ASSERT_EQ(got, want) << "round " << round;
        // Each code's entries come with it, as the id's own range gives them.
        for (int s = 1; s <= kLastSlot; ++s) {
            const CodeEntryRange expected = codeEntryRange(lookups, s, want[static_cast<size_t>(s - 1)]);
            ASSERT_EQ(ranges[static_cast<size_t>(s - 1)].begin, expected.begin) << "slot " << s;
            ASSERT_EQ(ranges[static_cast<size_t>(s - 1)].end, expected.end) << "slot " << s;
        }
    }
}

}  // namespace
}  // namespace drg
