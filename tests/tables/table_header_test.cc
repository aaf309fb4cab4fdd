// The count fields of the 100-byte table header.
#include <gtest/gtest.h>

#include <string>

#include "tables/table_files.h"
#include "tables/table_header.h"

namespace drg {
namespace {

struct CountCase {
    std::string field;  // exactly 10 bytes
    int64_t expected;
};

class ParseCountField : public ::testing::TestWithParam<CountCase> {};

TEST_P(ParseCountField, ReadsLikeADecimalConversionOfTheTenBytes) {
    const CountCase& c = GetParam();
    ASSERT_EQ(c.field.size(), 10u);
    // The bytes after the field must not be read: put digits there.
    const std::string header = c.field + "9999999999";
    EXPECT_EQ(parseCountField(header.data()), c.expected) << "field \"" << c.field << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    CountFields, ParseCountField,
    ::testing::Values(CountCase{"          ", 0}, CountCase{"        12", 12}, CountCase{"12        ", 12},
                      CountCase{"+12       ", 12}, CountCase{"1 2       ", 1}, CountCase{"-1        ", -1},
                      CountCase{"  -1      ", -1}, CountCase{"-65536    ", -65536}, CountCase{"0000000042", 42},
                      CountCase{"65535     ", 65535}, CountCase{"65536     ", 65536},
                      CountCase{"9999999999", 9999999999LL}, CountCase{"2147483648", 2147483648LL},
                      CountCase{std::string("1\0" "2       ", 10), 1}, CountCase{std::string("\0" "12       ", 10), 0},
                      CountCase{std::string("  \0" "5      ", 10), 0},
                      CountCase{"\t\n\v\f\r 7   ", 7}, CountCase{"x12       ", 0}, CountCase{"12x3      ", 12},
                      CountCase{"+-3       ", 0}, CountCase{"- 3       ", 0}, CountCase{"+         ", 0},
                      CountCase{"3.5       ", 3}, CountCase{"0x10      ", 0}));

TEST(CountFieldReading, IsEmptyOnlyForBlanksAroundOneNumberHeldAsWritten) {
    struct Case {
        std::string field;  // exactly 10 bytes
        int64_t held;
        std::string reading;
    };
    const Case cases[] = {
        {"          ", 0, ""},
        {"        12", 12, ""},
        {"+12       ", 12, ""},
        {"0000000042", 42, ""},
        {"-1        ", 65535, "'-1' read as 65535"},
        {"9999999999", 58367, "'9999999999' read as 58367"},
        {"abc       ", 0, "'abc' read as 0"},
        {"1 2       ", 1, "'1 2' read as 1"},
        {"\t7        ", 7, "'\\x097' read as 7"},
        {std::string("5\0" "        ", 10), 5, "'5\\x00' read as 5"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.field.size(), 10u) << c.reading;
        EXPECT_EQ(countFieldReading(c.field.data(), c.held), c.reading) << "field \"" << c.field << "\"";
    }
}

TEST(FormatCountField, WritesLeftAlignedAndBlankPadded) {
    char field[12];
    std::fill(field, field + 12, '#');
    formatCountField(854, field);
    EXPECT_EQ(std::string(field, 12), "854       ##");
    formatCountField(0, field);
    EXPECT_EQ(std::string(field, 10), "0         ");
    formatCountField(-1, field);
    EXPECT_EQ(std::string(field, 10), "-1        ");
    for (int64_t v : {0LL, 1LL, 65535LL, 2147483647LL, -5LL}) {
        formatCountField(v, field);
        EXPECT_EQ(parseCountField(field), v);
    }
}

TEST(CountFieldLayout, WideFieldsAreTcodeThreeAndTheLaterExclusionTables) {
    for (int file = 0; file < kTableFileCount; ++file) {
        const CountFieldLayout layout = countFieldLayout(file);
        const std::string name = kTableFileNames[file];
        int used = 1;
        if (name == "Tdag_ast" || (name.rfind("Tadrg", 0) == 0 && name != "Tadrg.idx")) used = 2;
        if (name == "Taadrg" || name.rfind("Tccedit", 0) == 0) used = 2;
        if (name == "Tcode" || name == "Tpccl") used = 3;
        if (name.rfind("Tccl", 0) == 0) used = 4;
        EXPECT_EQ(layout.used, used) << name;
        for (int f = 0; f < 4; ++f) {
            const bool wide = (name == "Tcode" && f == 2) || ((name == "Tccedit1" || name == "Tccedit2") && f < 2);
            EXPECT_EQ(layout.wide[f], wide) << name << " field " << f + 1;
        }
    }
}

TEST(TableFileNames, FollowTheLoadOrder) {
    const char* expected[] = {"Tdx.idx", "Tsg.idx", "Tmdc.idx", "Tadrg.idx", "Taadrg.idx", "Tdag_ast",
                              "Tcond.idx", "Tcode", "Tadrg", "Tadrg1", "Tadrg2", "Tadrg3",
                              "Tadrg4", "Tadrg5", "Taadrg", "Tccl", "Tccl1", "Tccl2",
                              "Tpccl", "Tccedit", "Tccedit1", "Tccedit2"};
    ASSERT_EQ(kTableFileCount, 22);
    for (int i = 0; i < kTableFileCount; ++i) EXPECT_STREQ(kTableFileNames[i], expected[i]);
}

}  // namespace
}  // namespace drg
