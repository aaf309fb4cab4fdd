// Request bodies of the web grouper: the record line built from a stay's
// fields, and every kind of bad body refused with the field named.
#include <gtest/gtest.h>

#include "record/record_layout.h"
#include "serve/group_request.h"
#include "support/record_builder.h"

namespace drg::serve {
namespace {

using nlohmann::json;

std::string field(const std::string& line, RecordField f) {
    return line.substr(static_cast<size_t>(f.offset), static_cast<size_t>(f.width));
}

TEST(CenturySexDigit, CenturyChoosesThePairAndMaleIsOdd) {
    const struct { int year; char male, female; } cases[] = {
        {1800, '9', '0'}, {1899, '9', '0'}, {1900, '1', '2'}, {1999, '1', '2'},
        {2000, '3', '4'}, {2099, '3', '4'}, {1799, '?', '?'}, {2100, '?', '?'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(centurySexDigit(c.year, true), c.male) << c.year;
        EXPECT_EQ(centurySexDigit(c.year, false), c.female) << c.year;
    }
}

TEST(GroupRequest, FieldsBuildTheLineARecordBuilderBuilds) {
    std::vector<std::string> procedures;
    for (int i = 0; i < 36; ++i) procedures.push_back("P" + std::to_string(1000 + i));
    const json stay = {{"effectiveDate", "20120229"}, {"birthDate", "18991231"}, {"sex", "F"},
                       {"stayDays", 7},       {"status", 9},            {"birthWeight", 99999},
                       {"ventilationHours", 48}, {"diagnoses", {"g40.0", " I10 ", "", "E11.9"}},
                       {"procedures", procedures}};
    const GroupRequest request = parseGroupRequest(stay.dump());
    ASSERT_TRUE(request.errors.empty()) << request.errors.front().message;
    ASSERT_EQ(request.lines.size(), 1u);
    EXPECT_FALSE(request.many);
    const std::string expected = testing::RecordBuilder()
                                     .birthDate("991231").sex('0').date("20120229").stayDays("007").status("9")
                                     .birthWeight("99999").ventilation("00048")
                                     .diagnoses({"g40.0", "I10", "", "E11.9"}).procedures(procedures).text();
    EXPECT_EQ(request.lines[0], expected);
    EXPECT_EQ(field(request.lines[0], codeSlotField(46)), "P1035");
    EXPECT_EQ(field(request.lines[0], kMdcOut), "   ");  // results are the grouper's to write
}

TEST(GroupRequest, AbsentNumbersAndCodesLeaveZerosAndBlanks) {
    const GroupRequest request = parseGroupRequest(R"({"effectiveDate":"20130101","birthDate":"20000101","sex":"M"})");
    ASSERT_TRUE(request.errors.empty());
    const std::string& line = request.lines.at(0);
    EXPECT_EQ(field(line, kCenturySexDigit), "3");
    EXPECT_EQ(field(line, kStayDaysText) + field(line, kStatusDigit), "0000");
    EXPECT_EQ(field(line, kDiagnosisSlotsField), std::string(60, ' '));
    EXPECT_EQ(field(line, kBirthWeightText) + field(line, kVentilationHoursText), "0000000000");
}

TEST(GroupRequest, RecordLinesLoseOneLineEndAndKeepTheirOrder) {
    const GroupRequest one = parseGroupRequest(R"({"record":"abc\r\n"})");
    ASSERT_TRUE(one.errors.empty());
    EXPECT_EQ(one.lines, std::vector<std::string>{"abc"});
    EXPECT_FALSE(one.many);
    const GroupRequest many = parseGroupRequest(R"({"records":["x\n","","y \u0000z"]})");
    ASSERT_TRUE(many.errors.empty());
    EXPECT_TRUE(many.many);
    EXPECT_EQ(many.lines, (std::vector<std::string>{"x", "", std::string("y \0z", 4)}));
    const GroupRequest most = parseGroupRequest(json{{"records", std::vector<std::string>(kMaxRecordsPerRequest, "")}}.dump());
    EXPECT_TRUE(most.errors.empty());
    EXPECT_EQ(most.lines.size(), kMaxRecordsPerRequest);
    const GroupRequest none = parseGroupRequest(R"({"records":[]})");
    EXPECT_TRUE(none.errors.empty());
    EXPECT_TRUE(none.lines.empty());
}

std::string stayWith(const std::string& name, const json& value) {
    json stay = {{"effectiveDate", "20130101"}, {"birthDate", "19500101"}, {"sex", "M"}};
    if (value.is_discarded()) stay.erase(name); else stay[name] = value;
    return stay.dump();
}

TEST(GroupRequest, BadBodiesAreRefusedNamingTheField) {
    const json tooManyRecords = {{"records", std::vector<std::string>(kMaxRecordsPerRequest + 1, "x")}};
    const struct { std::string body, field, message; } cases[] = {
        {"{\"record\": ", "body", "not JSON"},
        {"\"just a text\"", "body", "must be a JSON object"},
        {"{\"record\":\"\xff\"}", "body", "not UTF-8 (at byte 12)"},
        {"{\"record\":\"ab\xe9\"}", "body", "not UTF-8 (at byte 14)"},  // Latin-1: the é ends the text
        {"{\"record\":\"\xc0\xaf\"}", "body", "not UTF-8 (at byte 12)"},  // "/" written in two bytes
        {"{\"record\":\"\xed\xa0\x80\"}", "body", "not UTF-8 (at byte 12)"},  // a surrogate half
        {R"({"stayDays":9991e3999})", "body", "a number too large to read"},
        {stayWith("colour", "red"), "colour", "unknown field \"colour\""},
        {R"({"record":"x","sex":"M"})", "sex", "record cannot be sent with another field"},
        {R"({"sex":"M","birthDate":"19500101","sex":"F","effectiveDate":"20130101"})", "sex", "\"sex\" is given twice"},
        {R"({"records":["x"],"records":["y"]})", "records", "is given twice"},
        {R"({"record":17})", "record", "must be a text"},
        {R"({"record":"a\nb"})", "record", "holds a line break"},
        {R"({"records":"x"})", "records", "must be a list"},
        {R"({"records":["x",["y"]]})", "records[1]", "must be a text"},
        {tooManyRecords.dump(), "records", "at most 10000"},
        {stayWith("effectiveDate", json::value_t::discarded), "effectiveDate", "is missing"},
        {stayWith("effectiveDate", 20130101), "effectiveDate", "must be a text"},
        {stayWith("effectiveDate", "2013-01-01"), "effectiveDate", "not a date written YYYYMMDD"},
        {stayWith("effectiveDate", "20130229"), "effectiveDate", "month 2 of 2013 has 28 days"},
        {stayWith("effectiveDate", "21000229"), "effectiveDate", "month 2 of 2100 has 28 days"},
        {stayWith("birthDate", "19501301"), "birthDate", "there is no month 13"},
        {stayWith("birthDate", "19500100"), "birthDate", "has 31 days"},
        {stayWith("birthDate", "17991231"), "birthDate", "outside the birth years 1800 to 2099"},
        {stayWith("sex", "male"), "sex", "must be \"M\" or \"F\""},
        {stayWith("sex", json::value_t::discarded), "sex", "is missing"},
        {stayWith("stayDays", "5"), "stayDays", "whole number from 0 to 999, not the text \"5\""},
        {stayWith("stayDays", 1000), "stayDays", "from 0 to 999, not 1000"},
        {stayWith("status", 2.5), "status", "from 0 to 9, not 2.5"},
        {stayWith("birthWeight", -1), "birthWeight", "not -1"},
        {stayWith("ventilationHours", 100000), "ventilationHours", "from 0 to 99999"},
        {stayWith("diagnoses", "I10"), "diagnoses", "must be a list of diagnosis codes"},
        {stayWith("diagnoses", std::vector<std::string>(11, "I10")), "diagnoses", "holds 11 codes; a record has room for 10"},
        {stayWith("procedures", std::vector<std::string>(37, "5-01")), "procedures", "room for 36"},
        {stayWith("diagnoses", {"I10", "ABCDEFG"}), "diagnoses[1]", "longer than the 6 characters"},
        {stayWith("procedures", {"5-0101"}), "procedures[0]", "longer than the 5 characters"},
        {stayWith("procedures", {1}), "procedures[0]", "must be a text"},
        {stayWith("diagnoses", {"I\t10"}), "diagnoses[0]", "other than letters, digits and signs"},
        {stayWith("diagnoses", {"I1\x7f"}), "diagnoses[0]", "other than letters, digits and signs"},
        {stayWith("effectiveDate", "201301011"), "effectiveDate", "not a date written YYYYMMDD"},
        {stayWith("birthDate", "19500001"), "birthDate", "there is no month 0"},
        {stayWith("stayDays", 4294967296u), "stayDays", "not 4294967296"},
        {R"({"record":"a\rb"})", "record", "holds a line break"},
        {R"({"x":{"a":1},"a":2})", "a", "unknown field \"a\""},  // a name is twice only within one object
    };
    for (const auto& c : cases) {
        const GroupRequest request = parseGroupRequest(c.body);
        ASSERT_FALSE(request.errors.empty()) << c.body.substr(0, 80);
        EXPECT_TRUE(request.lines.empty()) << c.body.substr(0, 80);
        EXPECT_EQ(request.errors[0].field, c.field) << c.body.substr(0, 80);
        EXPECT_NE(request.errors[0].message.find(c.message), std::string::npos)
            << c.body.substr(0, 80) << " -> " << request.errors[0].message;
        if (c.field != "body") {
            EXPECT_NE(request.errors[0].message.find(c.field), std::string::npos);
        }
    }
}

TEST(GroupRequest, LeapDaysOfTheCalendarAreTaken) {
    for (const char* date : {"20000229", "20120229"})
        EXPECT_TRUE(parseGroupRequest(stayWith("birthDate", date)).errors.empty()) << date;
}

TEST(GroupRequest, EveryWrongFieldIsReportedAtOnce) {
    const GroupRequest request =
        parseGroupRequest(R"({"effectiveDate":"x","birthDate":"19500101","sex":"Q","diagnoses":["TOOLONG1"]})");
    std::vector<std::string> fields;
    for (const auto& e : request.errors) fields.push_back(e.field);
    EXPECT_EQ(fields, (std::vector<std::string>{"effectiveDate", "sex", "diagnoses[0]"}));
}

}  // namespace
}  // namespace drg::serve
