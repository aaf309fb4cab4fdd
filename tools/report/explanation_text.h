#pragma once
// An explanation as text for people: what `drg explain` prints per record,
// in the order the grouper works. Each section is a function of its own so
// that other front ends (the web grouper) can show the parts they need.
// Every section ends with a line end; record bytes that are not printable
// ASCII are shown as \xNN.

#include <string>

#include "drg/explain.h"

namespace drg::report {

// The heading line of a record: its line number and result.
std::string headingText(const Explanation& explanation, long lineNumber);
// The fields as read: date, age, sex digit, stay, status, weight, ventilation.
std::string fieldsText(const Explanation& explanation);
// Every filled code slot: text, code id or "not found", repeats, the dagger/asterisk exchange.
std::string codesText(const Explanation& explanation);
// The dated table files in force on the record's date.
std::string tablesText(const Explanation& explanation);
// The conditions raised, with the codes or the derived rule that raised each.
std::string conditionsText(const Explanation& explanation);
// The MDC pass and the ADRG pass: range, rows searched, the row that matched.
std::string passesText(const Explanation& explanation);
// The refinement row, its suffix and the refined code.
std::string refinementText(const Explanation& explanation);
// Levels of the secondary diagnoses with the rule that cleared each, the
// weighted sum, the PCCL and the split character.
std::string complexityText(const Explanation& explanation);
// The result columns as written.
std::string resultText(const Explanation& explanation);

// All of the above, in that order.
std::string explanationText(const Explanation& explanation, long lineNumber);

// Record bytes for a terminal: printable ASCII kept, anything else as \xNN.
std::string shownText(const std::string& bytes);

}  // namespace drg::report
