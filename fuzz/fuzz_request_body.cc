// Fuzzes the web grouper's request bodies: any bytes either become record
// lines or are refused with errors, never both; no line holds a line break,
// a line built from fields has exactly the record's length, and every
// error message is text that JSON can carry as it is.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "record/record_layout.h"
#include "serve/group_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const drg::serve::GroupRequest request = drg::serve::parseGroupRequest(body);
    if (!request.errors.empty()) {
        if (!request.lines.empty()) std::abort();
        for (const auto& error : request.errors) {
            if (error.message.empty()) std::abort();
            (void)nlohmann::json(error.message).dump();  // throws on bytes that are not UTF-8
            (void)nlohmann::json(error.field).dump();
        }
        return 0;
    }
    if (!request.many && request.lines.size() != 1) std::abort();
    if (request.lines.size() > drg::serve::kMaxRecordsPerRequest) std::abort();
    for (const auto& line : request.lines)
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    const bool fromFields = !parsed.contains("record") && !parsed.contains("records");
    if (fromFields && request.lines.at(0).size() != static_cast<size_t>(drg::kRecordLength)) std::abort();
    return 0;
}
