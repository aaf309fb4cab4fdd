#include "support/record_builder.h"

namespace drg::testing {

RecordBuilder& RecordBuilder::set(RecordField field, const std::string& text) {
    std::string value = text.substr(0, static_cast<size_t>(field.width));
    value.resize(static_cast<size_t>(field.width), ' ');
    line_.replace(static_cast<size_t>(field.offset), static_cast<size_t>(field.width), value);
    return *this;
}

RecordBuilder& RecordBuilder::diagnoses(const std::vector<std::string>& codes) {
    for (size_t i = 0; i < codes.size(); ++i) slot(static_cast<int>(i) + 1, codes[i]);
    return *this;
}

RecordBuilder& RecordBuilder::procedures(const std::vector<std::string>& codes) {
    for (size_t i = 0; i < codes.size(); ++i) slot(static_cast<int>(i) + 11, codes[i]);
    return *this;
}

std::string resultColumns(const std::string& line) {
    return line.substr(static_cast<size_t>(kMdcOut.offset), static_cast<size_t>(kRecordLength - kMdcOut.offset));
}

RecordBuilder datedRecord(const std::string& date) {
    return RecordBuilder().birthDate("500615").sex('2').date(date).stayDays("010").status("1");
}

}  // namespace drg::testing
