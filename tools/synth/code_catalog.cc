#include "synth/code_catalog.h"

#include <algorithm>

#include "synth/synth_conditions.h"

namespace drg::synth {
namespace {

// Where the categories of a letter belong: from `number` on, until the next
// entry of the same letter.
struct LetterRange {
    char letter;
    int number;
    int mdc;
};

constexpr LetterRange kDiagnosisMdcs[] = {
    {'A', 0, 19},  {'B', 0, 19},  {'B', 20, 25}, {'B', 25, 19}, {'C', 0, 4},   {'C', 15, 7},  {'C', 22, 8},
    {'C', 26, 7},  {'C', 30, 5},  {'C', 40, 9},  {'C', 43, 10}, {'C', 45, 9},  {'C', 50, 14}, {'C', 60, 13},
    {'C', 64, 12}, {'C', 69, 3},  {'C', 70, 2},  {'C', 73, 11}, {'C', 76, 18}, {'D', 0, 18},  {'D', 50, 17},
    {'D', 90, 18}, {'E', 0, 11},  {'F', 0, 20},  {'F', 10, 21}, {'F', 20, 20}, {'G', 0, 2},   {'H', 0, 3},
    {'H', 60, 4},  {'I', 0, 6},   {'J', 0, 5},   {'K', 0, 7},   {'K', 70, 8},  {'K', 90, 7},  {'L', 0, 10},
    {'M', 0, 9},   {'N', 0, 12},  {'N', 40, 13}, {'N', 60, 14}, {'N', 99, 12}, {'O', 0, 15},  {'P', 0, 16},
    {'Q', 0, 2},   {'Q', 10, 3},  {'Q', 20, 6},  {'Q', 30, 5},  {'Q', 35, 7},  {'Q', 50, 14}, {'Q', 60, 12},
    {'Q', 65, 9},  {'Q', 80, 10}, {'Q', 90, 24}, {'R', 0, 6},   {'R', 10, 7},  {'R', 20, 10}, {'R', 25, 2},
    {'R', 30, 12}, {'R', 40, 2},  {'R', 50, 24}, {'S', 0, 22},  {'T', 0, 22},  {'T', 20, 23}, {'Z', 0, 24},
};

// Chapter-5 (surgery) areas of the procedure codes, by the same rule.
constexpr LetterRange kSurgeryMdcs[] = {
    {'5', 0, 2},  {'5', 6, 11}, {'5', 8, 3},   {'5', 18, 4},  {'5', 29, 5},  {'5', 35, 6},       {'5', 40, 17},
    {'5', 42, 7}, {'5', 50, 8}, {'5', 53, 7},  {'5', 55, 12}, {'5', 60, 13}, {'5', 65, 14},      {'5', 72, 15},
    {'5', 76, 4}, {'5', 78, 9}, {'5', 87, 14}, {'5', 89, 10}, {'5', 93, 23}, {'5', 94, kPreMdc},
};

template <size_t N>
int mdcOf(const LetterRange (&ranges)[N], char letter, int number) {
    int mdc = 0;
    for (const LetterRange& r : ranges)
        if (r.letter == letter && r.number <= number) mdc = r.mdc;
    return mdc;
}

constexpr char kSymbols[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr int kSymbolCount = 36;
constexpr int kTransplantAreas = 94;  // chapter-5 areas from here on are decided before any MDC

// Category shapes: 0 subcodes means a 3-character code alone; otherwise the
// number of 5-character children of each 4-character subcode.
using Shape = std::vector<int>;

int codesOf(const Shape& shape) {
    int n = shape.empty() ? 1 : 0;
    for (int children : shape) n += 1 + children;
    return n;
}

std::vector<Category> chooseCategories(SynthRandom& random, std::vector<Shape>& shapes) {
    std::vector<Category> categories;
    for (const char letter : std::string("ABCDEFGHIJKLMNOPQRSTZ"))
        for (int number = 0; number < 100; ++number) {
            if (!random.perMille(880)) continue;
            categories.push_back({letter, number, mdcOf(kDiagnosisMdcs, letter, number), 0, 0, 0});
            Shape shape;
            if (!random.perMille(120)) {
                shape.resize(static_cast<size_t>(random.between(3, 10)));
                for (int& children : shape) children = random.perMille(100) ? random.between(2, 5) : 0;
            }
            shapes.push_back(shape);
        }
    // Trim or grow whole subcodes until the count is exact.
    int total = 0;
    for (const Shape& s : shapes) total += codesOf(s);
    const uint32_t n = static_cast<uint32_t>(shapes.size());
    while (total != kDiagnosisCodes) {
        Shape& s = shapes[random.below(n)];
        if (total > kDiagnosisCodes && s.size() > 2) {
            total -= 1 + s.back();
            s.pop_back();
        } else if (total < kDiagnosisCodes && !s.empty() && s.size() < 10) {
            s.push_back(0);
            ++total;
        }
    }
    return categories;
}

std::array<char, 6> diagnosisText(const Category& c, int subcode, int subcodes, int child) {
    auto digit = [](int d) { return static_cast<char>('0' + d); };
    std::array<char, 6> t = {c.letter, digit(c.number / 10), digit(c.number % 10), ' ', ' ', ' '};
    if (subcode >= 0) {
        // Subcodes 0, 1, ... and 9 for "other" unless all ten are used.
        t[3] = '.';
        t[4] = digit(subcodes == 10 || subcode < subcodes - 1 ? subcode : 9);
        if (child >= 0) t[5] = digit(child);
    }
    return t;
}

// Code ids: codes in use from the start numbered in text order, codes added
// later after them, as a release that grows would number them.
template <class Code>
void assignIds(std::vector<Code>& codes, const std::vector<int32_t>& validFrom) {
    int16_t id = 1;
    for (bool later : {false, true})
        for (size_t i = 0; i < codes.size(); ++i)
            if ((validFrom[i] != kAlways) == later) codes[i].id = id++;
}

void addCondition(std::vector<DatedCondition>& list, int condition, int32_t from, int32_t to) {
    list.push_back({static_cast<int16_t>(condition), from, to});
}

// Principal groups in proportion to the categories of each MDC.
void assignPrincipalGroups(CodeCatalog& catalog) {
    std::array<int, kMdcEntries> categories{}, groups{};
    for (const Category& c : catalog.categories) ++categories[static_cast<size_t>(c.mdc)];
    const int total = static_cast<int>(catalog.categories.size());
    const int wanted = kLastPrincipalGroup - kFirstPrincipalGroup + 1;
    int given = 0;
    for (int m = 0; m < kMdcEntries; ++m) {
        groups[m] = categories[m] == 0 ? 0 : std::max(1, wanted * categories[m] / total);
        given += groups[m];
    }
    while (given < wanted) {  // the next group to the MDC with the most categories per group
        int best = -1;
        for (int m = 0; m < kMdcEntries; ++m)
            if (groups[m] > 0 && groups[m] < categories[m] &&
                (best < 0 || categories[m] * groups[best] > categories[best] * groups[m]))
                best = m;
        ++groups[best];
        ++given;
    }
    int next = kFirstPrincipalGroup;
    for (int m = 0; m < kMdcEntries; ++m) {
        for (int g = 0; g < groups[m]; ++g) catalog.principalGroups[m].push_back(next++);
        int rank = 0;
        for (Category& c : catalog.categories)
            if (c.mdc == m)
                c.principalGroup = catalog.principalGroups[m][static_cast<size_t>(rank++ * groups[m] / categories[m])];
    }
}

void addDiagnosisConditions(CodeCatalog& catalog, SynthRandom& random) {
    std::vector<int> secondary;
    for (int c = 1; c < kConditionCount; ++c)
        if (isSecondaryFeature(c)) secondary.push_back(c);
    std::vector<int> otherMdcs;
    for (int m = kFirstBodyMdc; m < kMdcEntries; ++m)
        if (!catalog.principalGroups[m].empty()) otherMdcs.push_back(m);

    for (const Category& cat : catalog.categories) {
        // A few categories move to another group on a date, most within their MDC.
        int laterGroup = cat.principalGroup;
        const uint32_t move = random.below(100);
        if (move < 4)
            laterGroup = random.pick(catalog.principalGroups[static_cast<size_t>(cat.mdc)]);
        else if (move < 5)
            laterGroup = random.pick(catalog.principalGroups[static_cast<size_t>(random.pick(otherMdcs))]);
        const std::vector<int> features = typicalFeatures(cat.mdc);
        for (uint32_t i = cat.firstCode; i < cat.firstCode + cat.codeCount; ++i) {
            DiagnosisCode& code = catalog.diagnoses[i];
            auto& list = code.conditions;
            const int32_t from = code.validFrom, to = code.validTo;
            if (laterGroup != cat.principalGroup && to >= 20090101) {
                if (from <= 20081231) addCondition(list, cat.principalGroup, from, 20081231);
                addCondition(list, laterGroup, std::max(from, 20090101), to);
            } else {
                addCondition(list, cat.principalGroup, from, to);
            }
            if (cat.mdc == kFemaleMdc || cat.mdc == kPregnancyMdc) addCondition(list, kFemaleOnly, from, to);
            if (cat.mdc == kMaleMdc) addCondition(list, kMaleOnly, from, to);
            if (cat.mdc == kInjuryMdc) {
                const size_t region = static_cast<size_t>(cat.number) * std::size(kInjuryRegions) / 100;
                addCondition(list, kInjuryRegions[region], from, to);
                if (random.perMille(400)) addCondition(list, kInjuryCounted[region % 4], from, to);
                if (random.perMille(150)) addCondition(list, kSevereInjury[random.below(4)], from, to);
            }
            // Two draws in two statements: the order of operands is not fixed.
            int featureCount = random.perMille(700) ? 1 : 0;
            if (random.perMille(450)) ++featureCount;
            for (int f = 0; f < featureCount; ++f) {
                const bool recent = random.perMille(50);
                addCondition(list, random.pick(features), recent ? std::max(from, 20100101) : from, to);
            }
            if (random.perMille(500)) addCondition(list, random.pick(secondary), from, to);
        }
    }
}

void makeDiagnoses(CodeCatalog& catalog, SynthRandom& random) {
    std::vector<Shape> shapes;
    catalog.categories = chooseCategories(random, shapes);
    for (size_t k = 0; k < catalog.categories.size(); ++k) {
        Category& cat = catalog.categories[k];
        cat.firstCode = static_cast<uint32_t>(catalog.diagnoses.size());
        const Shape& shape = shapes[k];
        const int subcodes = static_cast<int>(shape.size());
        auto add = [&](std::array<char, 6> text) {
            catalog.diagnoses.push_back({text, 0, static_cast<uint32_t>(k), kAlways, kForever, {}});
        };
        if (shape.empty()) add(diagnosisText(cat, -1, 0, -1));
        for (int s = 0; s < subcodes; ++s) {
            add(diagnosisText(cat, s, subcodes, -1));
            for (int child = 0; child < shape[static_cast<size_t>(s)]; ++child)
                add(diagnosisText(cat, s, subcodes, child));
        }
        cat.codeCount = static_cast<uint32_t>(catalog.diagnoses.size()) - cat.firstCode;
    }
    std::vector<int32_t> validFrom;
    for (DiagnosisCode& code : catalog.diagnoses) {
        const uint32_t life = random.below(1000);
        if (life < 25)
            code.validFrom = life < 10 ? 20060101 : life < 18 ? 20090101 : 20110101;
        else if (life < 35)
            code.validTo = 20101231;
        validFrom.push_back(code.validFrom);
    }
    assignIds(catalog.diagnoses, validFrom);
    assignPrincipalGroups(catalog);
    addDiagnosisConditions(catalog, random);
}

// Dagger/asterisk pairs: codes of a few categories of the organ chapters
// stand in slot 1 with an etiology code (infections, tumours, metabolism)
// that takes their place when it stands in slot 2.
void makeDaggerPairs(CodeCatalog& catalog, SynthRandom& random) {
    std::vector<uint32_t> asterisks, daggers;
    for (const Category& cat : catalog.categories) {
        const bool organ = cat.letter >= 'D' && cat.letter <= 'N' && cat.letter != 'E';
        const bool etiology = cat.letter == 'A' || cat.letter == 'B' || cat.letter == 'C' || cat.letter == 'E';
        for (uint32_t i = cat.firstCode; i < cat.firstCode + cat.codeCount; ++i) {
            if (etiology) daggers.push_back(i);
        }
        if (organ && random.perMille(80))
            for (uint32_t i = cat.firstCode; i < cat.firstCode + cat.codeCount; ++i) asterisks.push_back(i);
    }
    if (asterisks.empty() || daggers.empty()) return;
    std::vector<std::vector<uint32_t>> partners(asterisks.size());
    for (int given = 0; given < kDaggerPairs;)
        for (size_t a = 0; a < asterisks.size() && given < kDaggerPairs; ++a) {
            const int more = std::min(kDaggerPairs - given, random.between(1, 6));
            for (int k = 0; k < more; ++k) partners[a].push_back(random.pick(daggers));
            given += more;
        }
    for (size_t a = 0; a < asterisks.size(); ++a)
        for (uint32_t partner : partners[a]) {
            const uint32_t dated = random.below(100);
            catalog.daggerPairs.push_back({asterisks[a], partner, dated < 10 ? 20080101 : kAlways,
                                           dated >= 10 && dated < 15 ? 20101231 : kForever});
        }
}

struct Chapter {
    char digit;
    int codes;
};

// How many codes each of the 100 areas of a chapter holds: about even, a
// few transplant-like areas of surgery with very few.
std::array<int, 100> codesPerArea(const Chapter& chapter, SynthRandom& random) {
    std::array<int, 100> perArea{};
    auto rare = [&](uint32_t area) { return chapter.digit == '5' && area >= kTransplantAreas; };
    const int base = chapter.codes / 100;
    int total = 0;
    for (uint32_t area = 0; area < 100; ++area) {
        perArea[area] =
            rare(area) ? random.between(1, 3) : std::min(kSymbolCount, random.between(base / 2 + 1, base * 3 / 2));
        total += perArea[area];
    }
    while (total != chapter.codes) {
        const uint32_t area = random.below(100);
        if (rare(area)) continue;
        int& n = perArea[area];
        if (total > chapter.codes && n > 1)
            --n, --total;
        else if (total < chapter.codes && n < kSymbolCount)
            ++n, ++total;
    }
    return perArea;
}

// The last characters of an area's codes: `n` distinct symbols, ascending.
std::array<int, kSymbolCount> areaSymbols(int n, SynthRandom& random) {
    std::array<int, kSymbolCount> symbols;
    for (int s = 0; s < kSymbolCount; ++s) symbols[s] = s;
    for (int s = 0; s < n; ++s)
        std::swap(symbols[s], symbols[s + random.below(static_cast<uint32_t>(kSymbolCount - s))]);
    std::sort(symbols.begin(), symbols.begin() + n);
    return symbols;
}

// Surgery raises its group, the operating-room kind and now and then a
// minor kind; non-operating-room therapy and the other chapters raise
// groups of their own.
void addProcedureConditions(std::vector<DatedCondition>& list, char chapter, int area, int surgicalGroup,
                            int otherChapter, SynthRandom& random) {
    if (chapter == '5') {
        addCondition(list, surgicalGroup, kAlways, kForever);
        addCondition(list, kOrProcedure, kAlways, kForever);
        for (int kind : kMinorKinds)
            if (random.perMille(kind == 743 ? 120 : 50)) addCondition(list, kind, kAlways, kForever);
    } else if (chapter == '8') {
        addCondition(list, kFirstNonOrGroup + area, kAlways, kForever);
        if (random.perMille(50)) addCondition(list, kOrProcedure, kAlways, kForever);
        if (area >= 50 && area < 55) addCondition(list, kProcedureMarkers[0], kAlways, kForever);
    } else {
        addCondition(list, kFirstOtherProcedureGroup + otherChapter * 5 + area / 20, kAlways, kForever);
        if (random.perMille(30)) addCondition(list, kProcedureMarkers[1 + random.below(3)], kAlways, kForever);
    }
}

void makeProcedures(CodeCatalog& catalog, SynthRandom& random) {
    constexpr Chapter kChapters[] = {{'1', 900}, {'3', 600}, {'5', 3000}, {'6', 500}, {'8', 1500}, {'9', 500}};
    static_assert(900 + 600 + 3000 + 500 + 1500 + 500 == kProcedureCodes);
    int nextSurgicalGroup = kFirstSurgicalGroup;
    int otherChapter = 0;
    for (const Chapter& chapter : kChapters) {
        const std::array<int, 100> perArea = codesPerArea(chapter, random);
        for (int area = 0; area < 100; ++area) {
            const int n = perArea[area];
            const std::array<int, kSymbolCount> symbols = areaSymbols(n, random);
            const bool surgery = chapter.digit == '5';
            const int mdc = surgery ? mdcOf(kSurgeryMdcs, '5', area) : 0;
            // Surgical areas hold two groups, the last few one.
            const int groups = !surgery || area >= kTransplantAreas ? 0 : area < 88 ? 2 : 1;
            const int firstGroup = nextSurgicalGroup;
            nextSurgicalGroup += groups;
            for (int g = firstGroup; g < firstGroup + groups; ++g) catalog.surgicalGroups[mdc].push_back(g);
            for (int s = 0; s < n; ++s) {
                ProcedureCode code{{chapter.digit, '-', static_cast<char>('0' + area / 10),
                                    static_cast<char>('0' + area % 10), kSymbols[symbols[s]]},
                                   0,
                                   mdc,
                                   {}};
                const int group = area >= kTransplantAreas ? kFirstTransplantGroup + area - kTransplantAreas
                                                           : firstGroup + (groups == 2 && s >= n / 2 ? 1 : 0);
                addProcedureConditions(code.conditions, chapter.digit, area, group, otherChapter, random);
                if (surgery)
                    catalog.surgery[static_cast<size_t>(mdc)].push_back(
                        static_cast<uint32_t>(catalog.procedures.size()));
                catalog.procedures.push_back(code);
            }
        }
        if (chapter.digit != '5' && chapter.digit != '8') ++otherChapter;
    }
    // Some procedures came later, a few went out of use.
    std::vector<int32_t> validFrom;
    for (ProcedureCode& code : catalog.procedures) {
        const uint32_t life = random.below(100);
        const int32_t from = life < 3 ? (life < 2 ? 20080101 : 20100101) : kAlways;
        const int32_t to = life == 3 ? 20091231 : kForever;
        for (DatedCondition& c : code.conditions) c.from = from, c.to = to;
        validFrom.push_back(from);
    }
    assignIds(catalog.procedures, validFrom);
}

}  // namespace

std::vector<int> typicalFeatures(int mdc) {
    // Features outside the injury families, which only injuries raise.
    static const std::vector<int> pool = [] {
        auto among = [](int c, const auto& list) {
            return std::find(std::begin(list), std::end(list), c) != std::end(list);
        };
        std::vector<int> p;
        for (int c = 1; c < kConditionCount; ++c)
            if (isDiagnosisFeature(c) && !among(c, kInjuryRegions) && !among(c, kInjuryCounted) &&
                !among(c, kSevereInjury))
                p.push_back(c);
        return p;
    }();
    std::vector<int> features;
    for (size_t k = 0; k < 6; ++k) features.push_back(pool[(static_cast<size_t>(mdc) * 7 + k) % pool.size()]);
    return features;
}

CodeCatalog makeCodeCatalog(SynthRandom& random) {
    CodeCatalog catalog;
    makeDiagnoses(catalog, random);
    makeDaggerPairs(catalog, random);
    makeProcedures(catalog, random);
    return catalog;
}

}  // namespace drg::synth
