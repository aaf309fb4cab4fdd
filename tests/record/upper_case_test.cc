// Upper-casing sixteen and eight bytes at a time must agree with the byte rule
// for every byte value in every lane, including neighbours that could carry.
#include <gtest/gtest.h>

#include <string>

#include "record/upper_case.h"

namespace drg {
namespace {

char expectedUpper(unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); }

TEST(UpperCase, EveryByteValueInEveryLaneNextToEveryNeighbour) {
    const unsigned char neighbours[] = {0x00, 0x20, 'a', 'z', '{', 0x60, 0x7F, 0x80, 0xE1, 0xFA, 0xFF};
    // 27 bytes: one block of sixteen, one word of eight and three single bytes.
    for (int lane = 0; lane < 8; ++lane)
        for (int value = 0; value < 256; ++value)
            for (unsigned char around : neighbours) {
                std::string text(27, static_cast<char>(around));
                for (size_t at = static_cast<size_t>(lane); at < text.size(); at += 8)
                    text[at] = static_cast<char>(value);
                std::string want;
                for (char c : text) want += expectedUpper(static_cast<unsigned char>(c));
                upperCase(text.data(), text.size());
                ASSERT_EQ(text, want) << "lane " << lane << " value " << value << " around " << int(around);
            }
}

TEST(UpperCase, StopsAtTheGivenLength) {
    std::string text = "abcdefghijklmnopqrs";
    upperCase(text.data(), 11);
    EXPECT_EQ(text, "ABCDEFGHIJKlmnopqrs");
}

}  // namespace
}  // namespace drg
