#include "synth/group_plan.h"

#include <algorithm>

namespace drg::synth {
namespace {

constexpr int kPreAdrgs = 12;
constexpr int kNewbornAdrgs = 8;
constexpr int kPolytraumaAdrgs = 4;

// Three digits after a letter, or after nothing.
std::string threeDigits(int number) {
    return {static_cast<char>('0' + number / 100 % 10), static_cast<char>('0' + number / 10 % 10),
            static_cast<char>('0' + number % 10)};
}

std::string adrgText(int mdc, int number) { return static_cast<char>('A' + mdc - 1) + threeDigits(number); }

// How many ADRGs each body MDC gets: in proportion to the groups its rows
// tell apart, at least four (a surgical, a medical, unrelated OR and other).
std::array<int, kMdcEntries> adrgsPerMdc(const CodeCatalog& catalog) {
    std::array<int, kMdcEntries> weight{}, count{};
    int totalWeight = 0, wanted = kAdrgEntries - 1 - kPreAdrgs - kNewbornAdrgs - kPolytraumaAdrgs, given = 0;
    for (int m = kFirstBodyMdc; m < kMdcEntries; ++m) {
        if (m == kNewbornMdc || m == kPolytraumaMdc) continue;
        weight[m] = static_cast<int>(catalog.principalGroups[m].size() + surgicalGroupsFor(catalog, m).size());
        totalWeight += weight[m];
    }
    for (int m = 0; m < kMdcEntries; ++m) {
        if (weight[m] == 0) continue;
        count[m] = std::max(4, wanted * weight[m] / totalWeight);
        given += count[m];
    }
    for (int m = kFirstBodyMdc; given != wanted; m = m + 1 < kMdcEntries ? m + 1 : kFirstBodyMdc) {
        if (weight[m] == 0) continue;
        if (given < wanted)
            ++count[m], ++given;
        else if (count[m] > 4)
            --count[m], --given;
    }
    count[kNewbornMdc] = kNewbornAdrgs;
    count[kPolytraumaMdc] = kPolytraumaAdrgs;
    return count;
}

void addAdrg(GroupPlan& plan, int mdc, int number, AdrgRole role) {
    plan.adrgs.push_back({adrgText(mdc, number), mdc, role, "", 0});
}

// Refinement by age: 1 to 4 refined codes per ADRG, 1079 in all.
void chooseRefinements(GroupPlan& plan, SynthRandom& random) {
    static const char* kSuffixes[] = {"", "Z", "AB", "ABC", "ABCD"};
    std::vector<int> size(plan.adrgs.size(), 1);
    int total = 0;
    for (size_t a = 1; a < plan.adrgs.size(); ++a) {
        const uint32_t draw = random.below(100);
        if (plan.adrgs[a].mdc != kNewbornMdc) size[a] = draw < 20 ? 1 : draw < 55 ? 2 : draw < 85 ? 3 : 4;
        total += size[a];
    }
    const uint32_t n = static_cast<uint32_t>(plan.adrgs.size());
    while (total != kRefinedEntries - 1) {
        const uint32_t a = 1 + random.below(n - 1);
        if (plan.adrgs[a].mdc == kNewbornMdc) continue;
        if (total < kRefinedEntries - 1 && size[a] < 4)
            ++size[a], ++total;
        else if (total > kRefinedEntries - 1 && size[a] > 1)
            --size[a], --total;
    }
    int next = 1;
    for (size_t a = 1; a < plan.adrgs.size(); ++a) {
        plan.adrgs[a].suffixes = kSuffixes[size[a]];
        plan.adrgs[a].firstRefined = next;
        next += size[a];
    }
    plan.refinedCount = next;
}

template <class T>
void put(std::vector<T>& v, size_t i, int value) {
    v[i] = static_cast<T>(value);
}

struct AgeBand {
    int minAge, maxAge;
    char suffix;
    int32_t from, to;
};

// The age bands of one ADRG; some moved a boundary on a date.
std::vector<AgeBand> ageBands(const Adrg& adrg, bool moved) {
    const std::string& s = adrg.suffixes;
    if (s.size() == 1) return {{-1, 150, 'Z', kAlways, kForever}};
    if (s.size() == 2) {
        if (!moved) return {{0, 17, 'B', kAlways, kForever}, {18, 150, 'A', kAlways, kForever}};
        return {{0, 14, 'B', kAlways, 20081231},
                {15, 150, 'A', kAlways, 20081231},
                {0, 17, 'B', 20090101, kForever},
                {18, 150, 'A', 20090101, kForever}};
    }
    if (s.size() == 3) {
        if (!moved)
            return {
                {0, 15, 'C', kAlways, kForever}, {16, 64, 'B', kAlways, kForever}, {65, 150, 'A', kAlways, kForever}};
        return {{0, 15, 'C', kAlways, kForever},
                {16, 64, 'B', kAlways, 20091231},
                {65, 150, 'A', kAlways, 20091231},
                {16, 69, 'B', 20100101, kForever},
                {70, 150, 'A', 20100101, kForever}};
    }
    return {{0, 0, 'D', kAlways, kForever},
            {1, 17, 'C', kAlways, kForever},
            {18, 74, 'B', kAlways, kForever},
            {75, 150, 'A', kAlways, kForever}};
}

void fillRefinement(const GroupPlan& plan, SynthRandom& random, RefinementTable& t) {
    const size_t n = plan.adrgs.size();
    t.adrgCount = static_cast<uint16_t>(n);
    t.refinementBegin.assign(n, 0);
    t.refinementEnd.assign(n, 0);
    for (size_t a = 1; a < n; ++a) {
        put(t.refinementBegin, a, static_cast<int>(t.refinementSuffix.size()));
        for (const AgeBand& band : ageBands(plan.adrgs[a], random.perMille(300))) {
            t.refinementMinAge.push_back(static_cast<int16_t>(band.minAge));
            t.refinementMaxAge.push_back(static_cast<int16_t>(band.maxAge));
            t.refinementValidFrom.push_back(band.from);
            t.refinementValidTo.push_back(band.to);
            t.refinementSuffix.push_back(band.suffix);
        }
        put(t.refinementEnd, a, static_cast<int>(t.refinementSuffix.size()));
    }
    t.rowCount = static_cast<uint16_t>(t.refinementSuffix.size());
}

// Split profiles: the sixth character for PCCL 0..4, never less complex as
// the PCCL rises ('A' the most complex); "ZZZZZ" for no split at all.
std::vector<std::string> splitProfiles() {
    std::vector<std::string> profiles = {"ZZZZZ"};
    for (char a = 'D'; a >= 'A'; --a)
        for (char b = a; b >= 'A'; --b)
            for (char c = b; c >= 'A'; --c)
                for (char d = c; d >= 'A'; --d)
                    for (char e = d; e >= 'A'; --e)
                        if (a != e) profiles.push_back({a, b, c, d, e});
    return profiles;
}

void fillSplits(const GroupPlan& plan, SynthRandom& random, PcclSplitTable& t) {
    const std::vector<std::string> profiles = splitProfiles();
    t.splitProfileCount = static_cast<uint16_t>(profiles.size());
    for (const std::string& p : profiles) t.splitCharacters.insert(t.splitCharacters.end(), p.begin(), p.end());
    const size_t n = static_cast<size_t>(plan.refinedCount);
    t.splitGroupCount = static_cast<uint16_t>(n);
    t.splitRowBegin.assign(n, 0);
    t.splitRowEnd.assign(n, 0);
    const uint32_t profileCount = static_cast<uint32_t>(profiles.size());
    auto addRow = [&](int32_t from, int32_t to, uint32_t profile) {
        t.splitValidFrom.push_back(from);
        t.splitValidTo.push_back(to);
        t.splitProfile.push_back(static_cast<int16_t>(profile));
    };
    for (size_t a = 1; a < plan.adrgs.size(); ++a) {
        const Adrg& adrg = plan.adrgs[a];
        for (size_t k = 0; k < adrg.suffixes.size(); ++k) {
            const size_t entry = static_cast<size_t>(adrg.firstRefined) + k;
            put(t.splitRowBegin, entry, static_cast<int>(t.splitProfile.size()));
            const uint32_t draw = random.below(100);
            const uint32_t profile = adrg.suffixes[k] == 'Z' && random.perMille(500) ? 0 : random.below(profileCount);
            if (draw < 15) {
                addRow(kAlways, 20091231, profile);
                addRow(20100101, kForever, random.below(profileCount));
            } else if (draw < 98) {
                addRow(kAlways, kForever, profile);
            }  // else no split row: the split character is '0'
            put(t.splitRowEnd, entry, static_cast<int>(t.splitProfile.size()));
        }
    }
    t.splitRowCount = static_cast<uint16_t>(t.splitProfile.size());
}

void fillTexts(CodeTextTable& table, const std::vector<std::string>& texts) {
    table.count = static_cast<uint16_t>(texts.size());
    table.text.bytes.clear();
    for (const std::string& text : texts) table.text.bytes.insert(table.text.bytes.end(), text.begin(), text.end());
}

}  // namespace

std::vector<int> surgicalGroupsFor(const CodeCatalog& catalog, int mdc) {
    if (mdc == kInjuryMdc || mdc == kPolytraumaMdc) return catalog.surgicalGroups[kMusculoskeletalMdc];
    if (mdc == kHaematologyMdc) return catalog.surgicalGroups[kBloodMdc];
    return catalog.surgicalGroups[static_cast<size_t>(mdc)];
}

GroupPlan makeGroupPlan(const CodeCatalog& catalog, SynthRandom& random) {
    GroupPlan plan;
    plan.mdcTexts = {"   ", "PRE"};
    for (int m = kFirstBodyMdc; m < kMdcEntries; ++m) plan.mdcTexts.push_back(threeDigits(m - 1));
    plan.adrgs.push_back({"    ", 0, AdrgRole::kOther, "", 0});
    for (int k = 0; k < kPreAdrgs; ++k) {
        plan.pre.push_back(static_cast<int>(plan.adrgs.size()));
        addAdrg(plan, kPreMdc, 10 * (k + 1), AdrgRole::kPre);
    }
    const auto counts = adrgsPerMdc(catalog);
    for (int m = kFirstBodyMdc; m < kMdcEntries; ++m) {
        const int n = counts[m];
        const size_t sg = surgicalGroupsFor(catalog, m).size(), pg = catalog.principalGroups[m].size();
        int surgical = sg == 0 ? 0 : std::max(1, static_cast<int>((n - 2) * sg / (sg + pg)));
        if (m == kNewbornMdc || m == kPolytraumaMdc) surgical = 1;
        surgical = std::min(surgical, n - 3);  // at least one medical ADRG
        const int medical = n - 2 - surgical;
        for (int k = 0; k < surgical; ++k) {
            plan.surgical[m].push_back(static_cast<int>(plan.adrgs.size()));
            addAdrg(plan, m, 10 * (k + 1), AdrgRole::kSurgical);
        }
        for (int k = 0; k < medical; ++k) {
            plan.medical[m].push_back(static_cast<int>(plan.adrgs.size()));
            addAdrg(plan, m, 600 + 10 * k, AdrgRole::kMedical);
        }
        plan.unrelatedOr[m] = static_cast<int>(plan.adrgs.size());
        addAdrg(plan, m, 950, AdrgRole::kUnrelatedOr);
        plan.other[m] = static_cast<int>(plan.adrgs.size());
        addAdrg(plan, m, 990, AdrgRole::kOther);
    }
    chooseRefinements(plan, random);
    return plan;
}

void fillGroupTables(const GroupPlan& plan, SynthRandom& random, TableSet& tables) {
    fillTexts(tables.mdcCodes, plan.mdcTexts);
    std::vector<std::string> adrgTexts, refined = {"     "};
    for (const Adrg& a : plan.adrgs) {
        adrgTexts.push_back(a.text);
        for (char suffix : a.suffixes) refined.push_back(a.text + suffix);
    }
    fillTexts(tables.adrgCodes, adrgTexts);
    fillTexts(tables.refinedCodes, refined);
    fillRefinement(plan, random, tables.refinement);
    fillSplits(plan, random, tables.splits);
}

}  // namespace drg::synth
