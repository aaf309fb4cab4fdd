#include "report/explanation_text.h"

#include <cstdio>
#include <vector>

namespace drg::report {
namespace {

using std::to_string;

std::string quoted(const std::string& bytes) { return "\"" + shownText(bytes) + "\""; }

std::string list(const std::vector<int>& conditions) {
    if (conditions.empty()) return "none";
    std::string s;
    for (const int c : conditions) s += (s.empty() ? "" : " ") + to_string(c);
    return s;
}

std::string rowSpan(const DecisionPassTrace& pass) {
    if (pass.firstRow >= pass.endRow) return "no rows";
    return "rows " + to_string(pass.firstRow) + " to " + to_string(pass.endRow - 1);
}

const CodeSlotTrace* slotTrace(const Explanation& e, int slot) {
    for (const auto& s : e.slots)
        if (s.slot == slot) return &s;
    return nullptr;
}

std::string passText(const char* name, const DecisionPassTrace& pass, bool givesMdc, const std::string& rangeOf) {
    std::string s = std::string("  ") + name + ": ";
    if (!pass.ran) return s + "not run (no MDC)\n";
    s += "range " + to_string(pass.range) + " (" + rangeOf + "), " + rowSpan(pass) + "; ";
    if (pass.row < 0) return s + "no row matched\n";
    s += "row " + to_string(pass.row) + " matched\n";
    s += "    must hold: " + list(pass.mustHold) + "; must not hold: " + list(pass.mustNotHold) + "; valid " +
         to_string(pass.validFrom) + " to " + to_string(pass.validTo) + "\n";
    s += "    gives";
    if (givesMdc) s += " MDC " + quoted(pass.mdc) + ",";
    return s + " ADRG " + quoted(pass.adrg) + "\n";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

}  // namespace

std::string shownText(const std::string& bytes) {
    std::string s;
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7f) {
            s += ch;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            s += escaped;
        }
    }
    return s;
}

namespace {

// "    slot  3  A419   ": the code text in a column of its own, however long
// its escapes make it.
std::string slotHead(int slot, const std::string& codeText) {
    char number[8];
    std::snprintf(number, sizeof number, "%2d", slot);
    std::string shown = shownText(codeText);
    if (shown.size() < 7) shown.resize(7, ' ');
    return "    slot " + std::string(number) + "  " + shown + " ";
}

}  // namespace

std::string headingText(const Explanation& e, long lineNumber) {
    std::string s = "line " + to_string(lineNumber) + ": ";
    if (e.status != GroupStatus::Ok)
        return s + "refused: the release's condition kinds disagree with the derived conditions\n";
    return s + "MDC " + quoted(e.result.mdc) + ", ADRG " + quoted(e.result.adrg) + ", PCCL " +
           to_string(e.result.pccl) + ", DRG " + quoted(e.result.drg) + "\n";
}

std::string fieldsText(const Explanation& e) {
    return "  fields: effective date " + to_string(e.effectiveDate) + "; age " + to_string(e.ageYears) +
           " years (" + to_string(e.ageDays) + " days); sex digit " + to_string(e.sexDigit) +
           (e.sexDigit % 2 != 0 ? " (odd: male)" : " (even: female)") + "; stay " + to_string(e.stayDays) +
           " days; status " + to_string(e.statusCode) + "; birth weight " + to_string(e.birthWeight) +
           " g; ventilation " + to_string(e.ventilationHours) + " h\n";
}

std::string codesText(const Explanation& e) {
    if (e.slots.empty()) return "  codes: none\n";
    std::string s = "  codes:\n";
    for (const auto& slot : e.slots) {
        s += slotHead(slot.slot, slot.text);
        if (slot.codeId == 0)
            s += "not found";
        else
            s += "id " + to_string(slot.codeId);
        if (slot.repeatOf != 0) s += ", repeats slot " + to_string(slot.repeatOf) + ": counts as empty";
        s += "\n";
    }
    if (e.daggerAsteriskExchanged) {
        const CodeSlotTrace* principal = slotTrace(e, 1);
        const CodeSlotTrace* partner = slotTrace(e, 2);
        s += "    dagger/asterisk: " + (partner ? shownText(partner->text) : std::string("slot 2")) +
             " (slot 2) counts as the principal diagnosis, " +
             (principal ? shownText(principal->text) : std::string("slot 1")) + " (slot 1) as slot 2\n";
    }
    return s;
}

std::string tablesText(const Explanation& e) {
    return "  tables in force: decisions " + e.decisionTable + ", levels " + e.levelTable + ", exclusions " +
           e.exclusionTable + "\n";
}

std::string conditionsText(const Explanation& e) {
    if (e.conditions.empty()) return "  conditions raised: none\n";
    std::string s = "  conditions raised:\n";
    for (const auto& c : e.conditions) {
        char head[16];
        std::snprintf(head, sizeof head, "    %4d  ", c.condition);
        s += head;
        if (c.derived) {
            s += "derived: " + c.rule;
        } else if (c.sources.empty()) {
            s += "raised";
        } else {
            s += "from";
            for (size_t i = 0; i < c.sources.size(); ++i)
                s += std::string(i ? ", " : " ") + "slot " + to_string(c.sources[i].slot) + " (" +
                     shownText(c.sources[i].code) + ")";
        }
        s += "\n";
    }
    return s;
}

std::string passesText(const Explanation& e) {
    return passText("MDC pass", e.mdcPass, true, "searched for every record") +
           passText("ADRG pass", e.adrgPass, false, "of MDC " + quoted(e.result.mdc));
}

std::string refinementText(const Explanation& e) {
    if (!e.refined) return "  refinement: not reached (no ADRG)\n";
    std::string s = "  refinement: ";
    if (e.refinementRow < 0)
        s += "no row of Taadrg fits the age and date: suffix '0'";
    else
        s += "row " + to_string(e.refinementRow) + " of Taadrg gives suffix '" +
             shownText(std::string(1, e.refinementSuffix)) + "'";
    s += "; refined code " + quoted(e.refinedCode);
    if (e.refinedEntry == 0)
        s += ", not among the refined codes: DRG 000000";
    else
        s += " (entry " + to_string(e.refinedEntry) + ")";
    return s + "\n";
}

std::string complexityText(const Explanation& e) {
    if (!e.refined) return "  complexity: not reached (no ADRG): PCCL 0\n";
    std::string s;
    if (e.levels.empty()) {
        s = "  levels: no secondary diagnosis with a code id\n";
    } else {
        s = "  levels:\n";
        for (const auto& level : e.levels) {
            s += slotHead(level.slot, level.code);
            s += "level " + to_string(level.level) +
                 (level.row < 0 ? std::string(" (no level row)") : " (level row " + to_string(level.row) + ")") +
                 " -> " + to_string(level.finalLevel);
            // The rule may name the code that cleared the level: shown as every code is.
            if (!level.clearedBy.empty()) s += ", cleared by " + shownText(level.clearedBy);
            s += "\n";
        }
    }
    s += "  weighted sum of the levels " + number(e.weightedLevelSum) + " gives PCCL " + to_string(e.result.pccl) +
         "\n";
    s += "  split: ";
    if (e.refinedEntry == 0) return s + "none (the refined code is not listed)\n";
    if (e.splitRow < 0) {
        s += "no split row valid on the date";
    } else {
        s += "row " + to_string(e.splitRow) + " chooses profile " + to_string(e.splitProfile) + " " +
             quoted(e.splitCharacters);
        if (e.result.pccl >= 0 && static_cast<size_t>(e.result.pccl) < e.splitCharacters.size())
            s += "; PCCL " + to_string(e.result.pccl) + " takes '" +
                 shownText(e.splitCharacters.substr(static_cast<size_t>(e.result.pccl), 1)) + "'";
    }
    return s + "; last character '" + shownText(std::string(1, e.result.drg[5])) + "'\n";
}

std::string resultText(const Explanation& e) {
    return "  result: MDC " + quoted(e.result.mdc) + ", ADRG " + quoted(e.result.adrg) + ", PCCL " +
           to_string(e.result.pccl) + ", DRG " + quoted(e.result.drg) + "\n";
}

std::string explanationText(const Explanation& e, long lineNumber) {
    if (e.status != GroupStatus::Ok) return headingText(e, lineNumber);
    return headingText(e, lineNumber) + fieldsText(e) + codesText(e) + tablesText(e) + conditionsText(e) +
           passesText(e) + refinementText(e) + complexityText(e) + resultText(e);
}

}  // namespace drg::report
