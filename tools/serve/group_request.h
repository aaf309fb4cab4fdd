#pragma once
// What a client asks the web grouper to group: a JSON request body turned
// into record lines, or the reasons it cannot be, each naming its field.
// The layout rules that build a line from a stay in plain terms live here
// and nowhere else, so that the page and the API build the same line.

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace drg::serve {

inline constexpr size_t kMaxRecordsPerRequest = 10000;

// One thing wrong with a request. `field` is the JSON name of the field at
// fault ("diagnoses[3]", "records[12]", "body" when the body as a whole is
// wrong); `message` names it too, so it reads on its own.
struct FieldError {
    std::string field;
    std::string message;
};

struct GroupRequest {
    std::vector<std::string> lines;  // record lines, without line ends, in request order
    bool many = false;               // asked as {"records": [...]}: answer {"results": [...]}
    std::vector<FieldError> errors;  // not empty: nothing is grouped
};

// Reads a body of {"record": "..."}, {"records": ["...", ...]} or the
// structured fields of one stay (effectiveDate, birthDate, sex, stayDays,
// status, birthWeight, ventilationHours, diagnoses, procedures).
GroupRequest parseGroupRequest(std::string_view body);

// The body as a JSON object; null, with the error, when it is not JSON or
// not an object.
nlohmann::json parseJsonObject(std::string_view body, std::vector<FieldError>& errors);

// The record line of one stay given by its structured fields; an empty
// line and the errors when a field is wrong.
std::string recordLineFromFields(const nlohmann::json& fields, std::vector<FieldError>& errors);

// The century-and-sex digit of a birth year from 1800 to 2099 ('?' outside):
// the century chooses the pair (9/0, 1/2, 3/4), the odd one is male.
char centurySexDigit(int birthYear, bool male);

}  // namespace drg::serve
