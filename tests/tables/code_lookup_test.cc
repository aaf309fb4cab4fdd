// lookupCode: a binary search over the open interval (0, N) of
// the index that the slot number chooses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/table_builder.h"
#include "tables/code_lookup.h"

namespace drg {
namespace {

using testing::padded;

// Puts `codes` (position 0 first) with `ids` into the diagnosis or procedure index.
void setIndex(TableSet& t, bool diagnosis, const std::vector<std::string>& codes, const std::vector<int16_t>& ids,
              int count = -1) {
    const size_t width = diagnosis ? 6 : 5;
    TextArray& text = diagnosis ? t.diagnosisIndex.code : t.procedureIndex.code;
    std::vector<int16_t>& id = diagnosis ? t.diagnosisIndex.id : t.procedureIndex.id;
    text.bytes.clear();
    for (const auto& c : codes) {
        const std::string p = c.size() == width ? c : padded(c, width);
        text.bytes.insert(text.bytes.end(), p.begin(), p.end());
    }
    id = ids;
    const auto n = static_cast<uint16_t>(count < 0 ? codes.size() : static_cast<size_t>(count));
    if (diagnosis) {
        t.diagnosisIndex.count = n;
        t.diagnosisIndex.spare.assign(codes.size(), 0);
    } else {
        t.procedureIndex.count = n;
    }
}

int16_t lookup(const TableSet& t, const std::string& text, int slot) {
    const size_t width = slot <= 10 ? 6 : 5;
    const std::string p = text.size() == width ? text : padded(text, width);
    return lookupCode(t, p.data(), slot);
}

TEST(LookupCode, FindsTheIdOfAnEntryNotItsPosition) {
    // N = 3, A00 and B00 at positions 1 and 2.
    TableSet t;
    setIndex(t, true, {"", "A00", "B00"}, {0, 7, 3});
    EXPECT_EQ(lookup(t, "B00", 1), 3);
    EXPECT_EQ(lookup(t, "A00", 1), 7);
    EXPECT_EQ(lookup(t, "A00", 10), 7);
    EXPECT_EQ(lookup(t, "C00", 1), 0);
    EXPECT_EQ(lookup(t, "A0", 1), 0);
}

TEST(LookupCode, ProcedureSlotsSearchOnlyTheProcedureIndex) {
    TableSet t;
    setIndex(t, true, {"", "A00", "B00"}, {0, 1, 2});
    setIndex(t, false, {"", "B00", "C00"}, {0, 5, 6});
    EXPECT_EQ(lookup(t, "B00", 11), 5);  // B00 with two blanks, in the procedures
    EXPECT_EQ(lookup(t, "A00", 11), 0);  // a diagnosis, not a procedure
    EXPECT_EQ(lookup(t, "A00", 46), 0);
    EXPECT_EQ(lookup(t, "C00", 46), 6);
    EXPECT_EQ(lookup(t, "C00", 10), 0);  // a procedure, not a diagnosis
    // Five characters are compared for a procedure slot: the sixth byte of
    // the text is not looked at.
    EXPECT_EQ(lookupCode(t, "B00  X", 11), 5);
    EXPECT_EQ(lookupCode(t, "B00   ", 1), 2);
    EXPECT_EQ(lookupCode(t, "B00  X", 1), 0);
}

TEST(LookupCode, PositionZeroIsNeverFound) {
    TableSet t;
    setIndex(t, true, {"A00", "B00", "C00"}, {9, 1, 2});
    EXPECT_EQ(lookup(t, "A00", 1), 0);
    EXPECT_EQ(lookup(t, "B00", 1), 1);
    EXPECT_EQ(lookup(t, "C00", 1), 2);
    // Even a placeholder that sorts last is never compared.
    setIndex(t, true, {"ZZZ", "B00", "C00"}, {9, 1, 2});
    EXPECT_EQ(lookup(t, "ZZZ", 1), 0);
}

TEST(LookupCode, AnIndexOfZeroOrOneEntriesFindsNothing) {
    TableSet t;
    EXPECT_EQ(lookup(t, "A00", 1), 0);  // nothing loaded
    EXPECT_EQ(lookup(t, "A00", 11), 0);
    setIndex(t, true, {}, {});
    EXPECT_EQ(lookup(t, "A00", 1), 0);
    setIndex(t, true, {"A00"}, {4});
    EXPECT_EQ(lookup(t, "A00", 1), 0);
    setIndex(t, false, {"A00"}, {4});
    EXPECT_EQ(lookup(t, "A00", 11), 0);
    // The header count bounds the search, not the array: count 1 over a
    // longer array finds nothing either.
    setIndex(t, true, {"", "A00", "B00"}, {0, 1, 2}, 1);
    EXPECT_EQ(lookup(t, "A00", 1), 0);
    EXPECT_EQ(lookup(t, "B00", 1), 0);
    setIndex(t, true, {"", "A00", "B00"}, {0, 1, 2}, 2);
    EXPECT_EQ(lookup(t, "A00", 1), 1);
    EXPECT_EQ(lookup(t, "B00", 1), 0);
}

TEST(LookupCode, ABlankSortsBeforeDigitsAndLetters) {
    TableSet t;
    setIndex(t, true, {"", "A01", "A010", "A01A", "A01Z", "B"}, {0, 1, 2, 3, 4, 5});
    EXPECT_EQ(lookup(t, "A01", 1), 1);
    EXPECT_EQ(lookup(t, "A010", 1), 2);
    EXPECT_EQ(lookup(t, "A01A", 1), 3);
    EXPECT_EQ(lookup(t, "A01Z", 1), 4);
    EXPECT_EQ(lookup(t, "B", 1), 5);
    EXPECT_EQ(lookup(t, "A01B", 1), 0);
    EXPECT_EQ(lookup(t, "A0", 1), 0);
}

TEST(LookupCode, ComparesBytesAsUnsigned) {
    // 0xC4 sorts after every ASCII letter; read as signed it would come first.
    TableSet t;
    setIndex(t, true, {"", "A00", "Z99", "\xC4" "00"}, {0, 1, 2, 3});
    EXPECT_EQ(lookup(t, "\xC4" "00", 1), 3);
    EXPECT_EQ(lookup(t, "A00", 1), 1);
    EXPECT_EQ(lookup(t, "Z99", 1), 2);
}

TEST(LookupCode, IsCaseSensitive) {
    // Records are upper-cased before the lookup; the lookup itself is exact.
    TableSet t;
    setIndex(t, true, {"", "A00", "b00"}, {0, 1, 2});
    EXPECT_EQ(lookup(t, "a00", 1), 0);
    EXPECT_EQ(lookup(t, "B00", 1), 0);
    EXPECT_EQ(lookup(t, "b00", 1), 2);
}

TEST(LookupCode, TheComparisonStopsAtANul) {
    TableSet t;
    setIndex(t, true, {"", std::string("A\0XXXX", 6), "B00"}, {0, 1, 2});
    EXPECT_EQ(lookupCode(t, std::string("A\0YYYY", 6).data(), 1), 1);
    EXPECT_EQ(lookupCode(t, std::string("A\0\0\0\0\0", 6).data(), 1), 1);
    EXPECT_EQ(lookupCode(t, "A     ", 1), 0);
}

TEST(LookupCode, EveryPositionIsReachableWhateverTheCount) {
    for (int n = 2; n <= 70; ++n) {
        TableSet t;
        std::vector<std::string> codes = {""};
        std::vector<int16_t> ids = {0};
        for (int i = 1; i < n; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "K%03d", 2 * i);
            codes.push_back(code);
            ids.push_back(static_cast<int16_t>(1000 - i));  // not the identity
        }
        setIndex(t, true, codes, ids);
        setIndex(t, false, codes, ids);
        for (int i = 1; i < n; ++i) {
            ASSERT_EQ(lookup(t, codes[static_cast<size_t>(i)], 1), 1000 - i) << "n " << n << " position " << i;
            ASSERT_EQ(lookup(t, codes[static_cast<size_t>(i)], 30), 1000 - i) << "n " << n << " position " << i;
            // Texts between, before and after the entries are not found.
            char between[16];
            std::snprintf(between, sizeof between, "K%03d", 2 * i + 1);
            ASSERT_EQ(lookup(t, between, 1), 0) << between;
        }
        ASSERT_EQ(lookup(t, "K000", 1), 0);
        ASSERT_EQ(lookup(t, "A", 1), 0);
        ASSERT_EQ(lookup(t, "Z", 1), 0);
    }
}

TEST(LookupCode, IsABinarySearchThatTrustsTheOrder) {
    // An index out of order: the search halves the interval and so misses
    // entries that a scan would find. N = 4, entries C, B, A at 1, 2, 3.
    TableSet t;
    setIndex(t, true, {"", "C", "B", "A"}, {0, 1, 2, 3});
    EXPECT_EQ(lookup(t, "B", 1), 2);  // mid = 2 first
    EXPECT_EQ(lookup(t, "A", 1), 0);  // A < B: hi = 2; A < C: hi = 1; done
    EXPECT_EQ(lookup(t, "C", 1), 0);  // C > B: lo = 2; C > A: lo = 3; done
    // N = 5: mid 2, then 3 or 1, then 4.
    setIndex(t, true, {"", "A", "B", "C", "D"}, {0, 1, 2, 3, 4});
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(lookup(t, std::string(1, static_cast<char>('A' + i - 1)), 1), i);
    setIndex(t, true, {"", "D", "B", "C", "A"}, {0, 1, 2, 3, 4});
    EXPECT_EQ(lookup(t, "D", 1), 0);  // D > B: lo = 2; D > C: lo = 3; D > A: lo = 4
    EXPECT_EQ(lookup(t, "C", 1), 3);
    EXPECT_EQ(lookup(t, "A", 1), 0);  // A < B: hi = 2; A < D at 1: hi = 1; done
}

TEST(BoundedCompare, ComparesUnsignedBytesUpToNOrANul) {
    using drg::boundedCompare;
    EXPECT_EQ(boundedCompare("ABC", "ABC", 3), 0);
    EXPECT_LT(boundedCompare("ABB", "ABC", 3), 0);
    EXPECT_GT(boundedCompare("ABD", "ABC", 3), 0);
    EXPECT_EQ(boundedCompare("ABX", "ABY", 2), 0);
    EXPECT_LT(boundedCompare(" ", "0", 1), 0);
    EXPECT_GT(boundedCompare("\xC4", "Z", 1), 0);
    EXPECT_EQ(boundedCompare(std::string("A\0X", 3).data(), std::string("A\0Y", 3).data(), 3), 0);
    EXPECT_LT(boundedCompare(std::string("A\0", 2).data(), "AB", 2), 0);
    EXPECT_EQ(boundedCompare("", "", 0), 0);
}

// Every width from 1 to 8 byte: the pieces land where one copy of the bytes
// puts them, and only the width's own bytes are read into the number.
template <int Width>
void expectTextNumbers(const unsigned char (&bytes)[9]) {
    const char* text = reinterpret_cast<const char*>(bytes);
    uint64_t copied = 0;
    std::memcpy(&copied, text, Width);
    EXPECT_EQ(littleEndianText<Width>(text), copied) << Width;
    uint64_t bigEndian = 0;
    for (int i = 0; i < Width; ++i) bigEndian = bigEndian << 8 | bytes[i];
    EXPECT_EQ(bigEndianText<Width>(text), bigEndian) << Width;
}

TEST(TextNumbers, ReadExactlyTheirWidthInEveryByteOrder) {
    const unsigned char bytes[9] = {0x81, 0x02, 0xC3, 0x04, 0xF5, 0x06, 0x87, 0x08, 0xFF};
    [&]<int... W>(std::integer_sequence<int, W...>) { (expectTextNumbers<W + 1>(bytes), ...); }
    (std::make_integer_sequence<int, 8>{});
    // The big-endian number orders texts as the bytes do, unsigned.
    EXPECT_LT(bigEndianText<6>("A12345"), bigEndianText<6>("A12346"));
    EXPECT_LT(bigEndianText<5>("Z9999"), bigEndianText<5>("\xC4" "AAAA"));
}

}  // namespace
}  // namespace drg
