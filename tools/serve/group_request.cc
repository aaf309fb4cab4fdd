#include "serve/group_request.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_set>

#include "record/record_layout.h"
#include "report/utf8.h"

namespace drg::serve {
namespace {

using nlohmann::json;

constexpr int kMaxDiagnoses = kDiagnosisSlots;
constexpr int kMaxProcedures = kLastSlot - kFirstProcedureSlot + 1;

constexpr std::array<std::string_view, 9> kStayFieldNames = {
    "effectiveDate", "birthDate", "sex", "stayDays", "status", "birthWeight", "ventilationHours", "diagnoses",
    "procedures"};

struct Date {
    int year = 0, month = 0, day = 0;
    std::string text;  // YYYYMMDD
};

// A text from the request in quotes, escaped as JSON and cut short when long.
std::string inQuotes(std::string_view text) {
    constexpr size_t kShown = 40;
    const std::string shown = text.size() > kShown ? std::string(text.substr(0, kShown)) + "..." : std::string(text);
    return json(shown).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string typeName(const json& value) {
    if (value.is_number()) return "a number";
    if (value.is_string()) return "a text";
    if (value.is_array()) return "a list";
    if (value.is_object()) return "an object";
    if (value.is_boolean()) return "true or false";
    return "null";
}

// A wrong value as a person would name it: numbers as written, a text quoted.
std::string describe(const json& value) {
    if (value.is_number() || value.is_boolean()) return value.dump();
    if (value.is_string()) return "the text " + inQuotes(value.get_ref<const std::string&>());
    return typeName(value);
}

void fail(std::vector<FieldError>& errors, std::string field, std::string message) {
    errors.push_back({std::move(field), std::move(message)});
}

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

bool readDate(const json& fields, const char* name, Date& date, std::vector<FieldError>& errors) {
    const auto it = fields.find(name);
    if (it == fields.end()) {
        fail(errors, name, std::string(name) + " is missing (a date written YYYYMMDD)");
        return false;
    }
    if (!it->is_string()) {
        fail(errors, name, std::string(name) + " must be a text \"YYYYMMDD\", not " + typeName(*it));
        return false;
    }
    const std::string& text = it->get_ref<const std::string&>();
    if (text.empty()) {
        fail(errors, name, std::string(name) + " is empty; enter a date");
        return false;
    }
    if (text.size() != 8 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        fail(errors, name, std::string(name) + " " + inQuotes(text) + " is not a date written YYYYMMDD");
        return false;
    }
    date.text = text;
    date.year = std::stoi(text.substr(0, 4));
    date.month = std::stoi(text.substr(4, 2));
    date.day = std::stoi(text.substr(6, 2));
    if (date.month < 1 || date.month > 12) {
        fail(errors, name, std::string(name) + " " + text + " is not a date: there is no month " +
                               std::to_string(date.month));
        return false;
    }
    const int days = daysInMonth(date.year, date.month);
    if (date.day < 1 || date.day > days) {
        fail(errors, name, std::string(name) + " " + text + " is not a date: month " + std::to_string(date.month) +
                               " of " + std::to_string(date.year) + " has " + std::to_string(days) + " days");
        return false;
    }
    return true;
}

// A whole number for a digit field of `width` digits; absent means 0.
int readCount(const json& fields, const char* name, int width, std::vector<FieldError>& errors) {
    const auto it = fields.find(name);
    if (it == fields.end()) return 0;
    int highest = 1;
    for (int i = 0; i < width; ++i) highest *= 10;
    --highest;
    const std::string range = " must be a whole number from 0 to " + std::to_string(highest);
    if (!it->is_number_integer()) {
        fail(errors, name, std::string(name) + range + ", not " + describe(*it));
        return 0;
    }
    const bool inRange = it->is_number_unsigned() ? it->get<uint64_t>() <= static_cast<uint64_t>(highest)
                                                  : it->get<int64_t>() >= 0 && it->get<int64_t>() <= highest;
    if (!inRange) {
        fail(errors, name, std::string(name) + range + ", not " + describe(*it));
        return 0;
    }
    return it->get<int>();
}

bool isPrintableAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string withoutSurroundingBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> readCodes(const json& fields, const char* name, int maxCodes, int width, const char* kind,
                                   std::vector<FieldError>& errors) {
    std::vector<std::string> codes;
    const auto it = fields.find(name);
    if (it == fields.end()) return codes;
    if (!it->is_array()) {
        fail(errors, name, std::string(name) + " must be a list of " + kind + " codes, not " + typeName(*it));
        return codes;
    }
    if (it->size() > static_cast<size_t>(maxCodes)) {
        fail(errors, name, std::string(name) + " holds " + std::to_string(it->size()) + " codes; a record has room for " +
                               std::to_string(maxCodes));
        return codes;
    }
    for (size_t i = 0; i < it->size(); ++i) {
        const json& code = (*it)[i];
        const std::string field = std::string(name) + "[" + std::to_string(i) + "]";
        if (!code.is_string()) {
            fail(errors, field, field + " must be a text, not " + typeName(code));
            continue;
        }
        const std::string text = withoutSurroundingBlanks(code.get_ref<const std::string&>());
        if (!isPrintableAscii(text)) {
            fail(errors, field, field + " holds a character other than letters, digits and signs");
        } else if (text.size() > static_cast<size_t>(width)) {
            fail(errors, field, field + " " + inQuotes(text) + " is longer than the " + std::to_string(width) +
                                    " characters of a " + kind + " slot");
        }
        codes.push_back(text);
    }
    return codes;
}

void put(std::string& line, RecordField field, std::string_view text) {
    line.replace(static_cast<size_t>(field.offset), std::min(text.size(), static_cast<size_t>(field.width)), text);
}

void putDigits(std::string& line, RecordField field, int value) {
    for (int i = field.width - 1; i >= 0; --i) {
        line[static_cast<size_t>(field.offset + i)] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// A record line as sent: one optional line end is dropped, any other line
// break refused (it would split the record in two).
bool readRecordLine(const json& value, const std::string& field, std::string& line, std::vector<FieldError>& errors) {
    if (!value.is_string()) {
        fail(errors, field, field + " must be a text (one record line), not " + typeName(value));
        return false;
    }
    line = value.get<std::string>();
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_of("\r\n") != std::string::npos) {
        fail(errors, field, field + " holds a line break; send one record line per text");
        return false;
    }
    return true;
}

void readRecords(const json& body, GroupRequest& request) {
    const json& records = body["records"];
    if (!records.is_array()) {
        fail(request.errors, "records", "records must be a list of record lines, not " + typeName(records));
        return;
    }
    if (records.size() > kMaxRecordsPerRequest) {
        fail(request.errors, "records", "records holds " + std::to_string(records.size()) + " lines; at most " +
                                            std::to_string(kMaxRecordsPerRequest) + " are grouped per request");
        return;
    }
    request.lines.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        std::string line;
        if (readRecordLine(records[i], "records[" + std::to_string(i) + "]", line, request.errors))
            request.lines.push_back(std::move(line));
    }
}

}  // namespace

char centurySexDigit(int birthYear, bool male) {
    if (birthYear >= 1800 && birthYear <= 1899) return male ? '9' : '0';
    if (birthYear >= 1900 && birthYear <= 1999) return male ? '1' : '2';
    if (birthYear >= 2000 && birthYear <= 2099) return male ? '3' : '4';
    return '?';
}

std::string recordLineFromFields(const json& fields, std::vector<FieldError>& errors) {
    const size_t errorsBefore = errors.size();
    for (const auto& [key, value] : fields.items())
        if (std::find(kStayFieldNames.begin(), kStayFieldNames.end(), key) == kStayFieldNames.end())
            fail(errors, key, "unknown field " + inQuotes(key));

    Date effective, birth;
    readDate(fields, "effectiveDate", effective, errors);
    if (readDate(fields, "birthDate", birth, errors) && centurySexDigit(birth.year, true) == '?')
        fail(errors, "birthDate", "birthDate " + birth.text + " lies outside the birth years 1800 to 2099 a record can hold");

    char sex = 0;
    const auto sexIt = fields.find("sex");
    if (sexIt == fields.end())
        fail(errors, "sex", "sex is missing (\"M\" or \"F\")");
    else if (!sexIt->is_string() || (*sexIt != "M" && *sexIt != "F"))
        fail(errors, "sex", "sex must be \"M\" or \"F\", not " + describe(*sexIt));
    else
        sex = sexIt->get_ref<const std::string&>()[0];

    const int stayDays = readCount(fields, "stayDays", kStayDaysText.width, errors);
    const int status = readCount(fields, "status", kStatusDigit.width, errors);
    const int birthWeight = readCount(fields, "birthWeight", kBirthWeightText.width, errors);
    const int ventilationHours = readCount(fields, "ventilationHours", kVentilationHoursText.width, errors);
    const auto diagnoses = readCodes(fields, "diagnoses", kMaxDiagnoses, kDiagnosisCodeWidth, "diagnosis", errors);
    const auto procedures = readCodes(fields, "procedures", kMaxProcedures, kProcedureCodeWidth, "procedure", errors);
    if (errors.size() != errorsBefore) return "";

    std::string line(static_cast<size_t>(kRecordLength), ' ');
    put(line, kBirthDate, birth.text.substr(2));
    line[static_cast<size_t>(kCenturySexDigit.offset)] = centurySexDigit(birth.year, sex == 'M');
    put(line, kEffectiveDate, effective.text);
    putDigits(line, kStayDaysText, stayDays);
    putDigits(line, kStatusDigit, status);
    putDigits(line, kBirthWeightText, birthWeight);
    putDigits(line, kVentilationHoursText, ventilationHours);
    for (size_t i = 0; i < diagnoses.size(); ++i) put(line, codeSlotField(static_cast<int>(i) + 1), diagnoses[i]);
    for (size_t i = 0; i < procedures.size(); ++i)
        put(line, codeSlotField(kFirstProcedureSlot + static_cast<int>(i)), procedures[i]);
    return line;
}

json parseJsonObject(std::string_view body, std::vector<FieldError>& errors) {
    // A body in another encoding (a Latin-1 batch line pasted in) is named
    // as such: its client has no syntax error to look for.
    if (const size_t bad = report::firstNonUtf8Byte(body); bad != std::string_view::npos) {
        fail(errors, "body", "the request body is not UTF-8 (at byte " + std::to_string(bad + 1) + ")");
        return json();
    }
    // A name given twice in one object would be read as its last value in
    // silence; a client that sends it meant one of the two, and a wrong guess
    // groups the stay wrongly. The first such name is refused.
    // A set per open object: a body may hold some 100,000 names in one.
    std::vector<std::unordered_set<std::string>> namesByDepth;
    std::string twice;
    const auto noteNames = [&](int, json::parse_event_t event, json& value) {
        if (event == json::parse_event_t::object_start) namesByDepth.emplace_back();
        if (event == json::parse_event_t::object_end) namesByDepth.pop_back();
        if (event == json::parse_event_t::key && !namesByDepth.empty()) {
            const std::string& name = value.get_ref<const std::string&>();
            if (!namesByDepth.back().insert(name).second && twice.empty()) twice = name;
        }
        return true;
    };
    json parsed;
    try {
        parsed = json::parse(body.begin(), body.end(), noteNames);
    } catch (const json::parse_error& e) {
        fail(errors, "body", "the request body is not JSON (syntax error at byte " + std::to_string(e.byte) + ")");
        return json();
    } catch (const json::exception&) {
        // The parser's other refusal: a number beyond what a double holds.
        fail(errors, "body", "the request body holds a number too large to read");
        return json();
    }
    // The parser takes a NUL byte outside a text for the end of the input and
    // leaves what follows unread; a NUL inside a text it refuses itself.
    if (const size_t nul = body.find('\0'); nul != std::string_view::npos) {
        fail(errors, "body", "the request body is not JSON (syntax error at byte " + std::to_string(nul + 1) + ")");
        return json();
    }
    if (!parsed.is_object()) {
        fail(errors, "body", "the request body must be a JSON object, not " + typeName(parsed));
        return json();
    }
    if (!twice.empty()) {
        fail(errors, twice, inQuotes(twice) + " is given twice in one object");
        return json();
    }
    return parsed;
}

GroupRequest parseGroupRequest(std::string_view body) {
    GroupRequest request;
    const json parsed = parseJsonObject(body, request.errors);
    if (!request.errors.empty()) return request;
    for (const char* whole : {"record", "records"}) {
        if (!parsed.contains(whole)) continue;
        for (const auto& [key, value] : parsed.items())
            if (key != whole) fail(request.errors, key, std::string(whole) + " cannot be sent with another field (" + inQuotes(key) + ")");
        if (!request.errors.empty()) return request;
        if (std::string_view(whole) == "records") {
            request.many = true;
            readRecords(parsed, request);
        } else {
            std::string line;
            if (readRecordLine(parsed["record"], "record", line, request.errors)) request.lines.push_back(std::move(line));
        }
        if (!request.errors.empty()) request.lines.clear();
        return request;
    }
    std::string line = recordLineFromFields(parsed, request.errors);
    if (request.errors.empty()) request.lines.push_back(std::move(line));
    return request;
}

}  // namespace drg::serve
