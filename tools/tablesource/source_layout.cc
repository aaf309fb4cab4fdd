#include "tablesource/source_layout.h"

#include <stdexcept>

#include "tables/table_versions.h"

namespace drg::source {
namespace {

// File name dates of a dated table: none for the first version, then the
// first day of each later one.
std::vector<std::string> versionFileDates(std::span<const char* const> cutDates) {
    std::vector<std::string> dates{""};
    dates.insert(dates.end(), cutDates.begin(), cutDates.end());
    return dates;
}

}  // namespace

const std::vector<SourceTableLayout>& sourceTableLayouts() {
    static const std::vector<SourceTableLayout> layouts = {
        {SourceTable::Release, "release", {"setting", "value"}, {}, {""},
         "release settings: counts and header texts", "setting", "", {}},
        {SourceTable::Conditions, "conditions", {"condition"}, {"kind", "first_slot", "last_slot"}, {""},
         "conditions: kind (l derived, t from codes) and the slots that may raise them", "condition", "", {}},
        {SourceTable::Diagnoses, "diagnoses", {"code"}, {"id", "spare"}, {""}, "diagnosis codes", "code", "", {}},
        {SourceTable::Procedures, "procedures", {"code"}, {"id"}, {""}, "procedure codes", "code", "", {}},
        {SourceTable::Mdcs, "mdcs", {"code"}, {}, {""}, "major diagnostic categories, in index order", "", "", {}},
        {SourceTable::Adrgs, "adrgs", {"code"}, {}, {""}, "adjacent DRGs, in index order", "", "", {}},
        {SourceTable::Refined, "refined", {"code"}, {}, {""}, "refined codes (ADRG and refinement character), in index order",
         "", "drgs", {}},
        {SourceTable::DaggerAsterisk, "dagger-asterisk", {"principal", "partner"}, {"from", "to"}, {""},
         "dagger/asterisk pairs: a partner in slot 2 takes slot 1", "principal", "", {}},
        {SourceTable::DiagnosisConditions, "diagnosis-conditions", {"code", "condition"}, {"from", "to", "tag"},
         {""}, "conditions raised by diagnosis codes", "code", "", {}},
        {SourceTable::ProcedureConditions, "procedure-conditions", {"code", "condition"}, {"from", "to", "tag"},
         {""}, "conditions raised by procedure codes", "code", "", {}},
        {SourceTable::Decisions, "decisions", {"range", "must_hold", "must_not_hold", "mdc", "adrg"},
         {"from", "to"}, versionFileDates(kDecisionCutDates),
         "decision rows by MDC range, first match wins", "range", "", {}},
        {SourceTable::Refinements, "refinements", {"adrg", "min_age", "max_age", "suffix"}, {"from", "to"}, {""},
         "refinement character of an ADRG by age in years", "adrg", "", {}},
        {SourceTable::Levels, "levels", {"diagnosis", "default", "levels"}, {"from", "to"},
         versionFileDates(kLevelCutDates), "complication levels of a diagnosis by ADRG", "diagnosis", "", {}},
        {SourceTable::Exclusions, "exclusions", {"diagnosis", "excluded"}, {}, versionFileDates(kExclusionCutDates),
         "CC exclusions: codes whose presence cancels the diagnosis's level", "diagnosis", "", {}},
        {SourceTable::Splits, "splits", {"refined", "profile"}, {"from", "to"}, {""},
         "split characters of a refined code for PCCL 0 to 4", "refined", "", {{"drg", "refined"}}},
    };
    return layouts;
}

const SourceTableLayout& layoutOf(SourceTable table) {
    for (const auto& layout : sourceTableLayouts())
        if (layout.table == table) return layout;
    throw std::logic_error("unknown source table");
}

std::optional<SourceFileName> identifySourceFile(const std::string& name) {
    for (const auto& layout : sourceTableLayouts())
        for (size_t v = 0; v < layout.versionDates.size(); ++v) {
            const int version = static_cast<int>(v);
            if (name == sourceFileName(layout.table, version)) return SourceFileName{layout.table, version, false};
            if (!layout.oldStem.empty() && name == oldSourceFileName(layout.table, version))
                return SourceFileName{layout.table, version, true};
        }
    return std::nullopt;
}

std::string sourceFileName(SourceTable table, int version) {
    const auto& layout = layoutOf(table);
    const std::string& date = layout.versionDates.at(static_cast<size_t>(version));
    return layout.stem + (date.empty() ? "" : "-" + date) + ".tsv";
}

std::string oldSourceFileName(SourceTable table, int version) {
    const auto& layout = layoutOf(table);
    if (layout.oldStem.empty()) return "";
    const std::string& date = layout.versionDates.at(static_cast<size_t>(version));
    return layout.oldStem + (date.empty() ? "" : "-" + date) + ".tsv";
}

std::string unknownFileNameProblem(const std::string& name) {
    const std::string base = name.size() > 4 ? name.substr(0, name.size() - 4) : name;  // without ".tsv"
    for (const auto& layout : sourceTableLayouts()) {
        if (base.rfind(layout.stem + "-", 0) != 0) continue;
        const std::string date = base.substr(layout.stem.size() + 1);
        std::string versions;
        for (size_t v = 1; v < layout.versionDates.size(); ++v)
            versions += (v > 1 ? ", " : "") + layout.versionDates[v];
        if (layout.versionDates.size() == 1)
            return "is not a table source file name: " + layout.stem + ".tsv has no dated versions";
        const bool calendar = date.size() == 8 && isCalendarDate(parseDateDigits(date));
        return "is not a table source file name: " + (calendar ? std::string("no version of ") + layout.stem +
                                                                     " starts on " + date
                                                               : "'" + date + "' is not a calendar date YYYYMMDD") +
               " (" + layout.stem + ".tsv is the first version; later ones start on " + versions + ")";
    }
    std::string names;
    for (const auto& layout : sourceTableLayouts()) names += (names.empty() ? "" : ", ") + layout.stem + ".tsv";
    return "is not a table source file name (the names: " + names +
           "; decisions, levels and exclusions also have dated versions named like decisions-20090101.tsv)";
}

bool isRemarkColumn(const std::string& column) { return column == "label" || column == "note"; }

bool columnHoldsBlanks(const std::string& column) {
    return isRemarkColumn(column) || column == "must_hold" || column == "must_not_hold" || column == "levels" ||
           column == "excluded" || column == "value";
}

int32_t parseDateDigits(std::string_view text) {
    int32_t value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return -1;
        value = value * 10 + (ch - '0');
    }
    return text.size() == 8 ? value : -1;
}

bool isCalendarDate(int64_t date) {
    if (date < 10000101 || date > 99991231) return false;
    const int64_t year = date / 10000, month = date / 100 % 100, day = date % 100;
    if (month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int64_t dayBefore(int64_t date) {
    if (!isCalendarDate(date)) return date - 1;
    if (isCalendarDate(date - 1)) return date - 1;
    const int64_t year = date / 10000, month = date / 100 % 100;
    if (month == 1) return (year - 1) * 10000 + 1231;
    for (int64_t day = 31;; --day)
        if (isCalendarDate(year * 10000 + (month - 1) * 100 + day)) return year * 10000 + (month - 1) * 100 + day;
}

int64_t dayAfter(int64_t date) {
    if (!isCalendarDate(date)) return date + 1;
    if (isCalendarDate(date + 1)) return date + 1;
    const int64_t month = date / 100 % 100;
    return month == 12 ? (date / 10000 + 1) * 10000 + 101 : date / 100 * 100 + 101;
}

}  // namespace drg::source
