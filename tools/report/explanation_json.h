#pragma once
// An explanation as one JSON object: what `drg explain --json` writes per
// record, what the web grouper answers and what the Python package returns.

#include <nlohmann/json.hpp>

#include <string>

#include "drg/explain.h"

namespace drg::report {

// `lineNumber` is the record's 1-based line in its input.
nlohmann::json explanationJson(const Explanation& explanation, long lineNumber);

// A byte text as a JSON string: kept as it is when it is UTF-8, otherwise
// each byte taken as a Latin-1 character, so that no byte is lost.
nlohmann::json textJson(const std::string& bytes);

// One line of JSON; never throws on odd bytes.
std::string dumpLine(const nlohmann::json& value);

}  // namespace drg::report
