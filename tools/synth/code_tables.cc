#include "synth/code_tables.h"

#include "synth/synth_conditions.h"

namespace drg::synth {
namespace {

// Positions by code id: the per-code arrays are indexed by id.
template <class Code>
std::vector<uint32_t> positionsById(const std::vector<Code>& codes) {
    std::vector<uint32_t> position(codes.size() + 1);
    for (size_t i = 0; i < codes.size(); ++i) position[static_cast<size_t>(codes[i].id)] = static_cast<uint32_t>(i);
    return position;
}

template <class Index, class Code>
void fillIndex(Index& index, const std::vector<Code>& codes) {
    const size_t width = index.code.width;
    index.count = static_cast<uint16_t>(codes.size() + 1);
    index.code.bytes.assign(width, ' ');  // position 0: never compared
    index.id = {0};
    for (const Code& c : codes) {
        index.code.bytes.insert(index.code.bytes.end(), c.text.begin(), c.text.end());
        index.id.push_back(c.id);
    }
}

template <class Code>
void addEntries(CodeConditionTable& t, const std::vector<Code>& codes, uint8_t tag, std::vector<int32_t>& begin,
                std::vector<int32_t>& end) {
    const std::vector<uint32_t> position = positionsById(codes);
    begin.assign(codes.size() + 1, 0);
    end.assign(codes.size() + 1, 0);
    for (size_t id = 1; id <= codes.size(); ++id) {
        begin[id] = static_cast<int32_t>(t.entryCondition.size());
        for (const DatedCondition& c : codes[position[id]].conditions) {
            t.entryTag.push_back(tag);
            t.entryValidFrom.push_back(c.from);
            t.entryValidTo.push_back(c.to);
            t.entryCondition.push_back(c.condition);
        }
        end[id] = static_cast<int32_t>(t.entryCondition.size());
    }
}

void fillDaggerPairs(const CodeCatalog& catalog, DaggerAsteriskTable& t) {
    const size_t codes = catalog.diagnoses.size();
    std::vector<std::vector<const DaggerPair*>> byPrincipal(codes);
    for (const DaggerPair& p : catalog.daggerPairs) byPrincipal[p.principal].push_back(&p);
    const std::vector<uint32_t> position = positionsById(catalog.diagnoses);
    t.diagnosisCount = static_cast<uint16_t>(codes + 1);
    t.pairBegin.assign(codes + 1, 0);
    t.pairEnd.assign(codes + 1, 0);
    for (size_t id = 1; id <= codes; ++id) {
        t.pairBegin[id] = static_cast<int32_t>(t.pairPartner.size());
        for (const DaggerPair* p : byPrincipal[position[id]]) {
            t.pairValidFrom.push_back(p->from);
            t.pairValidTo.push_back(p->to);
            t.pairPartner.push_back(catalog.diagnoses[p->partner].id);
        }
        t.pairEnd[id] = static_cast<int32_t>(t.pairPartner.size());
    }
    t.pairCount = static_cast<uint16_t>(t.pairPartner.size());
}

}  // namespace

void fillCodeTables(const CodeCatalog& catalog, TableSet& tables) {
    fillIndex(tables.diagnosisIndex, catalog.diagnoses);
    fillIndex(tables.procedureIndex, catalog.procedures);
    // The spare byte marks codes that stand in dagger/asterisk pairs.
    auto& spare = tables.diagnosisIndex.spare;
    spare.assign(catalog.diagnoses.size() + 1, ' ');
    for (const DaggerPair& p : catalog.daggerPairs) {
        spare[p.principal + 1] = '*';
        spare[p.partner + 1] = '+';
    }
    fillDaggerPairs(catalog, tables.daggerAsterisk);
    tables.conditions = makeConditionTable();

    CodeConditionTable& t = tables.codeConditions;
    t.diagnosisCount = tables.diagnosisIndex.count;
    t.procedureCount = tables.procedureIndex.count;
    addEntries(t, catalog.diagnoses, 'D', t.diagnosisEntryBegin, t.diagnosisEntryEnd);
    addEntries(t, catalog.procedures, 'P', t.procedureEntryBegin, t.procedureEntryEnd);
    t.entryCount = static_cast<int32_t>(t.entryCondition.size());
}

}  // namespace drg::synth
