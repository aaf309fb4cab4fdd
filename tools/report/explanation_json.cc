#include "report/explanation_json.h"

#include "report/utf8.h"

namespace drg::report {
namespace {

using nlohmann::json;

json rowOrNull(int row) { return row < 0 ? json(nullptr) : json(row); }

json passJson(const DecisionPassTrace& pass) {
    if (!pass.ran) return {{"ran", false}};
    json j = {{"ran", true},
              {"range", pass.range},
              {"firstRow", pass.firstRow},
              {"endRow", pass.endRow},
              {"row", rowOrNull(pass.row)}};
    if (pass.row >= 0) {
        j["mustHold"] = pass.mustHold;
        j["mustNotHold"] = pass.mustNotHold;
        j["validFrom"] = pass.validFrom;
        j["validTo"] = pass.validTo;
        if (!pass.mdc.empty()) j["givesMdc"] = textJson(pass.mdc);
        j["givesAdrg"] = textJson(pass.adrg);
    }
    return j;
}

}  // namespace

json textJson(const std::string& bytes) {
    if (firstNonUtf8Byte(bytes) == std::string_view::npos) return bytes;
    std::string utf8;
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            utf8 += ch;
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string dumpLine(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

json explanationJson(const Explanation& e, long lineNumber) {
    json j;
    j["line"] = lineNumber;
    j["status"] = e.status == GroupStatus::Ok ? "grouped" : "refused";
    j["mdc"] = textJson(e.result.mdc);
    j["adrg"] = textJson(e.result.adrg);
    j["pccl"] = e.result.pccl;
    j["drg"] = textJson(e.result.drg);
    j["decisionTable"] = e.decisionTable;
    j["levelTable"] = e.levelTable;
    j["exclusionTable"] = e.exclusionTable;
    j["mdcRow"] = e.mdcPass.ran ? rowOrNull(e.mdcPass.row) : json(nullptr);
    j["adrgRow"] = e.adrgPass.ran ? rowOrNull(e.adrgPass.row) : json(nullptr);
    j["refinementRow"] = e.refined ? rowOrNull(e.refinementRow) : json(nullptr);
    j["splitRow"] = rowOrNull(e.splitRow);

    json levels = json::object();
    for (const auto& level : e.levels) levels[std::to_string(level.slot)] = level.finalLevel;
    j["levels"] = levels;
    json conditions = json::array();
    for (const auto& c : e.conditions) conditions.push_back(c.condition);
    j["conditions"] = conditions;

    j["fields"] = {{"effectiveDate", e.effectiveDate}, {"ageYears", e.ageYears},
                   {"ageDays", e.ageDays},             {"sexDigit", e.sexDigit},
                   {"stayDays", e.stayDays},           {"status", e.statusCode},
                   {"birthWeight", e.birthWeight},     {"ventilationHours", e.ventilationHours}};
    json codes = json::array();
    for (const auto& s : e.slots) {
        json code = {{"slot", s.slot}, {"text", textJson(s.text)}, {"codeId", s.codeId}, {"found", s.codeId != 0}};
        code["repeatOf"] = s.repeatOf == 0 ? json(nullptr) : json(s.repeatOf);
        codes.push_back(code);
    }
    j["codes"] = codes;
    j["daggerAsteriskExchanged"] = e.daggerAsteriskExchanged;
    json raised = json::array();
    for (const auto& c : e.conditions) {
        json sources = json::array();
        for (const auto& s : c.sources) sources.push_back({{"slot", s.slot}, {"code", textJson(s.code)}});
        json condition = {{"condition", c.condition}, {"derived", c.derived}, {"sources", sources}};
        if (c.derived) condition["rule"] = c.rule;
        raised.push_back(condition);
    }
    j["raised"] = raised;
    j["mdcPass"] = passJson(e.mdcPass);
    j["adrgPass"] = passJson(e.adrgPass);
    if (e.refined)
        j["refinement"] = {{"row", rowOrNull(e.refinementRow)},
                           {"suffix", textJson(std::string(1, e.refinementSuffix))},
                           {"refinedCode", textJson(e.refinedCode)},
                           {"entry", e.refinedEntry}};
    else
        j["refinement"] = nullptr;
    json details = json::array();
    for (const auto& level : e.levels) {
        json d = {{"slot", level.slot},   {"code", textJson(level.code)}, {"level", level.level},
                  {"row", rowOrNull(level.row)}, {"finalLevel", level.finalLevel}};
        d["clearedBy"] = level.clearedBy.empty() ? json(nullptr) : textJson(level.clearedBy);  // may name a code
        details.push_back(d);
    }
    j["levelDetails"] = details;
    j["weightedLevelSum"] = e.weightedLevelSum;
    j["splitProfile"] = e.splitProfile < 0 ? json(nullptr) : json(e.splitProfile);
    j["splitCharacters"] = e.splitRow < 0 ? json(nullptr) : textJson(e.splitCharacters);
    return j;
}

}  // namespace drg::report
