// The lookup aids must answer exactly as the plain scans of the tables do.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tables/code_lookup.h"
#include "tables/table_lookups.h"

namespace drg {
namespace {

// Texts over a small alphabet with NULs, so that equal prefixes, NULs at the
// same and at different places, and bytes above 127 all occur often.
std::string randomText(std::mt19937& rng, int width) {
    static const char alphabet[] = {'\0', ' ', 'A', 'B', '0', '\x7f', '\x80', '\xff'};
    std::string text;
    for (int i = 0; i < width; ++i) text += alphabet[rng() % sizeof alphabet];
    return text;
}

int sign(int v) { return (v > 0) - (v < 0); }

TEST(TextKey, OrdersAndComparesLikeTheBoundedComparison) {
    std::mt19937 rng(11);
    for (int width : {4, 5, 6}) {
        for (int n = 0; n < 20000; ++n) {
            const std::string a = randomText(rng, width), b = randomText(rng, width);
            const uint64_t ka = textKey(a.data(), width), kb = textKey(b.data(), width);
            const int keyOrder = ka < kb ? -1 : (ka > kb ? 1 : 0);
            ASSERT_EQ(keyOrder, sign(boundedCompare(a.data(), b.data(), width)))
                << "width " << width << " case " << n;
        }
    }
}

CodeTextTable refinedCodeTexts(const std::vector<std::string>& texts) {
    CodeTextTable table{static_cast<uint16_t>(texts.size()), {{}, 5}};
    for (const auto& t : texts) table.text.bytes.insert(table.text.bytes.end(), t.begin(), t.end());
    return table;
}

// The first entry whose text equals the key, scanning from entry 0.
int linearSearch(const CodeTextTable& table, const std::string& key) {
    for (uint32_t j = 0; j < table.count; ++j)
        if (boundedCompare(key.data(), table.text.at(j), 5) == 0) return static_cast<int>(j);
    return -1;
}

TEST(RefinedCodeIndex, FindsTheFirstEqualEntryLikeTheLinearSearch) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> texts;
        const int count = static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) texts.push_back(randomText(rng, 5));
        if (count > 3) texts[static_cast<size_t>(count) - 1] = texts[1];  // a duplicated key
        TableSet tables;
        tables.refinedCodes = refinedCodeTexts(texts);
        const TableLookups lookups = buildTableLookups(tables);
        for (int probe = 0; probe < 60; ++probe) {
            const std::string key = probe < count ? texts[static_cast<size_t>(probe)] : randomText(rng, 5);
            ASSERT_EQ(findRefinedCode(lookups.refinedCodeIndex, textKey(key.data(), 5)),
                      linearSearch(tables.refinedCodes, key))
                << "round " << round << " probe " << probe;
        }
    }
}

TEST(RefinedCodeIndex, KeyEqualToEntryZeroGivesEntryZeroEvenWhenRepeatedLater) {
    TableSet tables;
    tables.refinedCodes = refinedCodeTexts({"B010A", "B010B", "B010A"});
    const TableLookups lookups = buildTableLookups(tables);
    EXPECT_EQ(findRefinedCode(lookups.refinedCodeIndex, textKey("B010A", 5)), 0);
    EXPECT_EQ(findRefinedCode(lookups.refinedCodeIndex, textKey("B010B", 5)), 1);
    EXPECT_EQ(findRefinedCode(lookups.refinedCodeIndex, textKey("B010C", 5)), -1);
}

}  // namespace
}  // namespace drg
