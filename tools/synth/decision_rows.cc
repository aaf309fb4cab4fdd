#include "synth/decision_rows.h"

#include <cstdlib>

#include "synth/code_catalog.h"
#include "synth/group_plan.h"
#include "synth/synth_calendar.h"
#include "synth/synth_conditions.h"
#include "tables/table_versions.h"

namespace drg::synth {
namespace {

constexpr int kLastVersion = kDecisionVersions - 1;

struct RowTemplate {
    std::vector<int> set, clear;
    int mdc = 0, adrg = 0;
    int firstVersion = 0, lastVersion = kLastVersion;
    int32_t from = kAlways, to = kForever;
};

int32_t versionStart(int version) { return std::atoi(kDecisionCutDates[static_cast<size_t>(version - 1)]); }

// The rows of every range, each with the versions that hold it.
class RowPlan {
public:
    explicit RowPlan(SynthRandom& random) : random_(random), ranges_(kMdcEntries) {}

    // A row that every version holds unchanged.
    void fixed(int range, RowTemplate row) { ranges_[static_cast<size_t>(range)].push_back(std::move(row)); }

    // A row that may come in a later version, go before the last, change its
    // ADRG to `alternative` between versions or on a day, or be preceded by a
    // row valid on one day only.
    void varied(int range, RowTemplate row, int alternative) {
        auto& rows = ranges_[static_cast<size_t>(range)];
        const uint32_t draw = random_.below(1000);
        if (draw < 60) {
            row.firstVersion = random_.between(1, kLastVersion);
            row.from = versionStart(row.firstVersion);
        } else if (draw < 110) {
            row.lastVersion = random_.between(0, kLastVersion - 1);
        } else if (draw < 160) {
            RowTemplate later = row;
            row.lastVersion = random_.between(0, kLastVersion - 1);
            later.firstVersion = row.lastVersion + 1;
            later.adrg = alternative;
            rows.push_back(row);
            row = later;
        } else if (draw < 180) {
            const int32_t day = dateValue({random_.between(2003, 2013), random_.between(1, 12), 1});
            RowTemplate before = row;
            before.to = dayBefore(day);
            rows.push_back(before);
            row.from = day;
            row.adrg = alternative;
        } else if (draw < 185) {
            RowTemplate oneDay = row;
            oneDay.from = oneDay.to =
                dateValue({random_.between(2003, 2013), random_.between(1, 12), random_.between(1, 28)});
            oneDay.adrg = alternative;
            rows.push_back(oneDay);
        }
        rows.push_back(std::move(row));
    }

    void fill(DecisionTable& t, int version) const {
        t.entryCount = kMdcEntries;
        t.rowBegin.assign(kMdcEntries, 0);
        t.rowEnd.assign(kMdcEntries, 0);
        for (size_t m = 0; m < ranges_.size(); ++m) {
            t.rowBegin[m] = static_cast<int16_t>(t.rowMdc.size());
            for (const RowTemplate& row : ranges_[m]) {
                if (version < row.firstVersion || version > row.lastVersion) continue;
                t.rowValidFrom.push_back(row.from);
                t.rowValidTo.push_back(row.to);
                for (size_t c = 0; c < kMustBeSetColumns; ++c)
                    t.rowConditions.push_back(static_cast<int16_t>(c < row.set.size() ? row.set[c] : 0));
                for (size_t c = 0; c < kRowConditionColumns - kMustBeSetColumns; ++c)
                    t.rowConditions.push_back(static_cast<int16_t>(c < row.clear.size() ? row.clear[c] : 0));
                t.rowMdc.push_back(static_cast<int16_t>(row.mdc));
                t.rowAdrg.push_back(static_cast<int16_t>(row.adrg));
            }
            t.rowEnd[m] = static_cast<int16_t>(t.rowMdc.size());
        }
        t.rowCount = static_cast<uint16_t>(t.rowMdc.size());
    }

private:
    SynthRandom& random_;
    std::vector<std::vector<RowTemplate>> ranges_;
};

int at(const std::vector<int>& list, size_t i) { return list[i % list.size()]; }

// Range 1: cases decided before any MDC, then one row per principal group.
void preMdcRows(const CodeCatalog& catalog, const GroupPlan& plan, RowPlan& rows) {
    const auto& pre = plan.pre;
    const int sexConflict = pre[11];
    rows.fixed(kPreMdc, {{kFemaleOnly, kMale}, {}, kPreMdc, sexConflict});
    rows.fixed(kPreMdc, {{kMaleOnly}, {kMale}, kPreMdc, sexConflict});
    for (int t = 0; t <= kLastTransplantGroup - kFirstTransplantGroup; ++t) {
        rows.varied(kPreMdc, {{kFirstTransplantGroup + t, kVentilatedOver95}, {}, kPreMdc, pre[6]}, pre[7]);
        rows.fixed(kPreMdc, {{kFirstTransplantGroup + t}, {}, kPreMdc, pre[static_cast<size_t>(t)]});
    }
    rows.fixed(kPreMdc, {{kVentilatedOver95, kOlderThan27Days, kOrNotMinor}, {}, kPreMdc, pre[6]});
    rows.fixed(kPreMdc, {{kVentilatedOver95, kOlderThan27Days}, {}, kPreMdc, pre[7]});
    rows.varied(kPreMdc, {{kVentilatedOver24, kOlderThanOneYear, kOrNotMinor}, {kDiedOrTransferred}, kPreMdc, pre[8]},
                pre[9]);
    rows.varied(kPreMdc, {{kVentilatedOver24, kOlderThan27Days, kOrProcedure}, {}, kPreMdc, pre[9]}, pre[8]);
    rows.varied(kPreMdc, {{kVentilatedOver24, kAgeUnknown}, {}, kPreMdc, pre[10]}, pre[7]);

    // Newborns by birth weight, whatever their principal diagnosis.
    const auto& newborn = plan.medical[kNewbornMdc];
    for (size_t band = 0; band < std::size(kBirthWeightBands); ++band)
        rows.fixed(kPreMdc,
                   {{kBirthWeightBands[band]}, {kOlderThan27Days, kOlderThanOneYear}, kNewbornMdc, at(newborn, band)});
    rows.fixed(kPreMdc, {{}, {kOlderThan27Days, kOlderThanOneYear}, kNewbornMdc, plan.other[kNewbornMdc]});

    // Injuries of several regions, or several severe ones.
    for (int rule : {kTwoInjuryRegions, 789, 790, 791, kTwoSevereInjuries, 853})
        rows.fixed(kPreMdc, {{rule, kOlderThan27Days}, {}, kPolytraumaMdc, plan.other[kPolytraumaMdc]});

    for (int m = kFirstBodyMdc; m < kMdcEntries; ++m)
        for (int group : catalog.principalGroups[static_cast<size_t>(m)])
            rows.fixed(kPreMdc, {{group}, {}, m, plan.other[m]});
}

void surgicalRows(const CodeCatalog& catalog, const GroupPlan& plan, int m, RowPlan& rows, SynthRandom& random) {
    const auto& s = plan.surgical[m];
    const std::vector<int> groups = surgicalGroupsFor(catalog, m);
    for (size_t i = 0; i < groups.size() && !s.empty(); ++i) {
        const int g = groups[i];
        if (random.perMille(600)) rows.varied(m, {{g, kVentilatedOver95}, {}, 0, at(s, i + 1)}, at(s, i));
        if (random.perMille(400)) rows.varied(m, {{g, kOrNotMinor}, {kOlderThanOneYear}, 0, at(s, i + 2)}, at(s, i));
        if (random.perMille(300)) rows.varied(m, {{g, kDiedOrTransferred}, {}, 0, at(s, i + 3)}, at(s, i + 1));
        rows.varied(m, {{g, kOrNotMinor}, {}, 0, at(s, i)}, at(s, i + 1));
        rows.fixed(m, {{g}, {}, 0, at(s, i)});
    }
    rows.varied(m, {{kOrNotMinor}, {}, 0, plan.unrelatedOr[m]}, plan.other[m]);
    rows.fixed(m, {{kOrProcedure}, {}, 0, plan.unrelatedOr[m]});
}

void medicalRows(const CodeCatalog& catalog, const GroupPlan& plan, int m, RowPlan& rows, SynthRandom& random) {
    const auto& md = plan.medical[m];
    const std::vector<int> features = typicalFeatures(m);
    const auto& groups = catalog.principalGroups[static_cast<size_t>(m)];
    for (size_t j = 0; j < groups.size(); ++j) {
        const int g = groups[j];
        // The ways a principal group is told apart: by ventilation, outcome,
        // stay, age, sex, what else the patient has.
        std::vector<RowTemplate> variants = {
            {{g, kVentilatedOver95}, {}},
            {{g, kVentilatedOver24}, {}},
            {{g, kDiedOrTransferred}, {}},
            {{g, kStayOneDay}, {}},
            {{g, kStayUnder3}, {kDiedOrTransferred}},
            {{g}, {kOlderThanOneYear}},
            {{g, kMale}, {}},
            {{g, features[j % 6]}, {}},
            {{g, features[(j + 1) % 6]}, {kLeftEarly}},
            {{g, kTransferred}, {}},
            {{g, kStayUnder5, kOlderThanOneYear}, {}},
            {{g, 801}, {}},
            {{g, 784}, {}},
            {{g, features[(j + 2) % 6], features[(j + 3) % 6]}, {}},
        };
        const int wanted = random.between(3, 7);
        for (int k = 0; k < wanted; ++k) {
            const size_t pick = k + random.below(static_cast<uint32_t>(variants.size() - k));
            std::swap(variants[static_cast<size_t>(k)], variants[pick]);
            RowTemplate row = variants[static_cast<size_t>(k)];
            row.adrg = at(md, j + 1 + static_cast<size_t>(k));
            rows.varied(m, row, at(md, j));
        }
        rows.fixed(m, {{g}, {}, 0, at(md, j)});
    }
    for (int k = 0; k < 3; ++k)
        rows.varied(m,
                    {{kFirstNonOrGroup + random.between(0, kLastNonOrGroup - kFirstNonOrGroup)},
                     {},
                     0,
                     at(md, static_cast<size_t>(k))},
                    plan.other[m]);
}

void newbornRows(const GroupPlan& plan, RowPlan& rows) {
    const int m = kNewbornMdc;
    rows.fixed(m, {{kOrNotMinor}, {}, 0, plan.surgical[m][0]});
    rows.fixed(m, {{kVentilatedOver95}, {}, 0, plan.medical[m][0]});
    for (size_t band = 0; band < std::size(kBirthWeightBands); ++band)
        rows.fixed(m, {{kBirthWeightBands[band]}, {}, 0, at(plan.medical[m], band)});
    rows.fixed(m, {{kNoBirthWeight}, {}, 0, plan.other[m]});
}

void polytraumaRows(const GroupPlan& plan, RowPlan& rows) {
    const int m = kPolytraumaMdc;
    rows.fixed(m, {{kOrNotMinor}, {}, 0, plan.surgical[m][0]});
    rows.fixed(m, {{kVentilatedOver95}, {}, 0, plan.medical[m][0]});
    rows.fixed(m, {{kVentilatedOver24}, {}, 0, plan.medical[m][0]});
}

}  // namespace

void fillDecisionTables(const CodeCatalog& catalog, const GroupPlan& plan, SynthRandom& random, TableSet& tables) {
    RowPlan rows(random);
    preMdcRows(catalog, plan, rows);
    for (int m = kFirstBodyMdc; m < kMdcEntries; ++m) {
        if (m == kNewbornMdc) {
            newbornRows(plan, rows);
        } else if (m == kPolytraumaMdc) {
            polytraumaRows(plan, rows);
        } else {
            surgicalRows(catalog, plan, m, rows, random);
            medicalRows(catalog, plan, m, rows, random);
        }
        rows.fixed(m, {{}, {}, 0, plan.other[m]});
    }
    for (int v = 0; v < kDecisionVersions; ++v) rows.fill(tables.decisionTables[static_cast<size_t>(v)], v);
}

}  // namespace drg::synth
