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
         "release settings: counts and header texts"},
        {SourceTable::Conditions, "conditions", {"condition"}, {"kind", "first_slot", "last_slot"}, {""},
         "conditions: kind (l derived, t from codes) and the slots that may raise them"},
        {SourceTable::Diagnoses, "diagnoses", {"code"}, {"id", "spare"}, {""}, "diagnosis codes"},
        {SourceTable::Procedures, "procedures", {"code"}, {"id"}, {""}, "procedure codes"},
        {SourceTable::Mdcs, "mdcs", {"code"}, {}, {""}, "major diagnostic categories, in index order"},
        {SourceTable::Adrgs, "adrgs", {"code"}, {}, {""}, "adjacent DRGs, in index order"},
        {SourceTable::Drgs, "drgs", {"code"}, {}, {""}, "refined ADRG codes, in index order"},
        {SourceTable::DaggerAsterisk, "dagger-asterisk", {"principal", "partner"}, {"from", "to"}, {""},
         "dagger/asterisk pairs: a partner in slot 2 takes slot 1"},
        {SourceTable::DiagnosisConditions, "diagnosis-conditions", {"code", "condition"}, {"from", "to", "tag"},
         {""}, "conditions raised by diagnosis codes"},
        {SourceTable::ProcedureConditions, "procedure-conditions", {"code", "condition"}, {"from", "to", "tag"},
         {""}, "conditions raised by procedure codes"},
        {SourceTable::Decisions, "decisions", {"range", "must_hold", "must_not_hold", "mdc", "adrg"},
         {"from", "to"}, versionFileDates(kDecisionCutDates),
         "decision rows by MDC range, first match wins"},
        {SourceTable::Refinements, "refinements", {"adrg", "min_age", "max_age", "suffix"}, {"from", "to"}, {""},
         "refinement character of an ADRG by age in years"},
        {SourceTable::Levels, "levels", {"diagnosis", "default", "levels"}, {"from", "to"},
         versionFileDates(kLevelCutDates), "complication levels of a diagnosis by ADRG"},
        {SourceTable::Exclusions, "exclusions", {"diagnosis", "excluded"}, {}, versionFileDates(kExclusionCutDates),
         "CC exclusions: codes whose presence cancels the diagnosis's level"},
        {SourceTable::Splits, "splits", {"drg", "profile"}, {"from", "to"}, {""},
         "split characters of a refined code for PCCL 0 to 4"},
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
        for (size_t v = 0; v < layout.versionDates.size(); ++v)
            if (name == sourceFileName(layout.table, static_cast<int>(v)))
                return SourceFileName{layout.table, static_cast<int>(v)};
    return std::nullopt;
}

std::string sourceFileName(SourceTable table, int version) {
    const auto& layout = layoutOf(table);
    const std::string& date = layout.versionDates.at(static_cast<size_t>(version));
    return layout.stem + (date.empty() ? "" : "-" + date) + ".tsv";
}

bool isRemarkColumn(const std::string& column) { return column == "label" || column == "note"; }

}  // namespace drg::source
