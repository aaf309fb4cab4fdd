#pragma once
// Input records for tests, built field by field on a blank 305-column line.

#include <string>
#include <vector>

#include "record/record_layout.h"

namespace drg::testing {

class RecordBuilder {
public:
    RecordBuilder() : line_(kRecordLength, ' ') {}

    RecordBuilder& set(RecordField field, const std::string& text);
    RecordBuilder& birthDate(const std::string& yymmdd) { return set(kBirthDate, yymmdd); }
    RecordBuilder& sex(char centurySexDigit) { return set(kCenturySexDigit, std::string(1, centurySexDigit)); }
    RecordBuilder& date(const std::string& yyyymmdd) { return set(kEffectiveDate, yyyymmdd); }
    RecordBuilder& stayDays(const std::string& text) { return set(kStayDaysText, text); }
    RecordBuilder& status(const std::string& text) { return set(kStatusDigit, text); }
    RecordBuilder& birthWeight(const std::string& text) { return set(kBirthWeightText, text); }
    RecordBuilder& ventilation(const std::string& text) { return set(kVentilationHoursText, text); }
    // Slot 1..46; the code is blank-padded to the slot width.
    RecordBuilder& slot(int s, const std::string& code) { return set(codeSlotField(s), code); }
    RecordBuilder& diagnoses(const std::vector<std::string>& codes);
    RecordBuilder& procedures(const std::vector<std::string>& codes);

    const std::string& text() const { return line_; }
    std::string line() const { return line_ + "\n"; }

private:
    std::string line_;
};

// A record of a woman born 15 June 1950 with a stay of 10 days, status 1, on
// `date`: the usual start of a record in the condition tests.
RecordBuilder datedRecord(const std::string& date = "20120615");

// The result columns 283..304 of an output line, or of a record.
std::string resultColumns(const std::string& line);

}  // namespace drg::testing
