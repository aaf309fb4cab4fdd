#pragma once
// Every array of the 22 reference table files of one classification release,
// held exactly as the files store them (little-endian integers, fixed-width
// texts). Loaded once, read-only while records are grouped.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "table arrays are read as raw little-endian blocks");

namespace drg {

// Fixed-width texts stored back to back, `width` bytes each, unterminated.
struct TextArray {
    std::vector<char> bytes;
    uint32_t width = 0;

    const char* at(uint32_t i) const { return bytes.data() + static_cast<size_t>(i) * width; }
    uint32_t size() const { return width == 0 ? 0 : static_cast<uint32_t>(bytes.size() / width); }
};

// "Tdx.idx": sorted diagnosis codes (6 characters) and their code ids.
struct DiagnosisCodeIndex {
    uint16_t count = 0;
    TextArray code{{}, 6};
    std::vector<int16_t> id;
    std::vector<uint8_t> spare;
};

// "Tsg.idx": sorted procedure codes (5 characters) and their code ids.
struct ProcedureCodeIndex {
    uint16_t count = 0;
    TextArray code{{}, 5};
    std::vector<int16_t> id;
};

// "Tmdc.idx" (3), "Tadrg.idx" (4), "Taadrg.idx" (5): group texts by index.
struct CodeTextTable {
    uint16_t count = 0;
    TextArray text;
};

// "Tdag_ast": dated dagger/asterisk partners of a principal diagnosis.
struct DaggerAsteriskTable {
    uint16_t diagnosisCount = 0;
    uint16_t pairCount = 0;
    std::vector<int32_t> pairBegin, pairEnd;
    std::vector<int32_t> pairValidFrom, pairValidTo;
    std::vector<int16_t> pairPartner;
};

// "Tcond.idx": kind ('l' derived, 't' from codes) and slot range per condition.
struct ConditionTable {
    uint16_t conditionCount = 0;
    std::vector<char> conditionKind;
    std::vector<int16_t> firstSlot, lastSlot;
};

// "Tcode": dated code-to-condition entries, one shared entry list with
// separate range arrays for diagnosis ids and procedure ids.
struct CodeConditionTable {
    uint16_t diagnosisCount = 0;
    uint16_t procedureCount = 0;
    int32_t entryCount = 0;
    std::vector<int32_t> diagnosisEntryBegin, diagnosisEntryEnd;
    std::vector<int32_t> procedureEntryBegin, procedureEntryEnd;
    std::vector<uint8_t> entryTag;
    std::vector<int32_t> entryValidFrom, entryValidTo;
    std::vector<int16_t> entryCondition;
};

inline constexpr int kRowConditionColumns = 20;  // 10 must be set, 10 must be clear
inline constexpr int kMustBeSetColumns = 10;

// "Tadrg".."Tadrg5": first-match decision rows, one row range per MDC index.
struct DecisionTable {
    uint16_t entryCount = 0;
    uint16_t rowCount = 0;
    std::vector<int16_t> rowBegin, rowEnd;
    std::vector<int32_t> rowValidFrom, rowValidTo;
    std::vector<int16_t> rowConditions;  // rowCount x 20
    std::vector<int16_t> rowMdc, rowAdrg;
};

// "Taadrg": age and date rows giving the refinement character of an ADRG.
struct RefinementTable {
    uint16_t adrgCount = 0;
    uint16_t rowCount = 0;
    std::vector<int16_t> refinementBegin, refinementEnd;
    std::vector<int16_t> refinementMinAge, refinementMaxAge;
    std::vector<int32_t> refinementValidFrom, refinementValidTo;
    std::vector<char> refinementSuffix;
};

// "Tccl".."Tccl2": dated level rows per diagnosis selecting a profile row of
// a profile x ADRG matrix of digit characters.
struct ComplicationLevelTable {
    uint16_t cclDiagnosisCount = 0;
    uint16_t cclRowCount = 0;
    uint16_t cclProfileCount = 0;
    uint16_t cclColumnCount = 0;
    std::vector<int16_t> cclRowBegin, cclRowEnd;
    std::vector<int32_t> cclValidFrom, cclValidTo;
    std::vector<int16_t> cclProfile;
    std::vector<uint8_t> cclMatrix;  // cclProfileCount x cclColumnCount
};

inline constexpr int kSplitProfileWidth = 5;  // one character per PCCL 0..4

// "Tpccl": dated split rows per refined code selecting a 5-character profile.
struct PcclSplitTable {
    uint16_t splitGroupCount = 0;
    uint16_t splitRowCount = 0;
    uint16_t splitProfileCount = 0;
    std::vector<int16_t> splitRowBegin, splitRowEnd;
    std::vector<int32_t> splitValidFrom, splitValidTo;
    std::vector<int16_t> splitProfile;
    std::vector<char> splitCharacters;  // splitProfileCount x 5
};

// "Tccedit".."Tccedit2": ascending exclusion lists of diagnosis ids.
struct CcExclusionTable {
    int32_t exclusionDiagnosisCount = 0;
    int32_t exclusionListCount = 0;
    std::vector<int32_t> exclusionBegin, exclusionEnd;
    std::vector<int16_t> exclusionList;
};

inline constexpr int kTableFileCount = 22;
inline constexpr int kHeaderSize = 100;
inline constexpr int kDecisionVersions = 6;
inline constexpr int kLevelVersions = 3;
inline constexpr int kExclusionVersions = 3;

struct TableSet {
    DiagnosisCodeIndex diagnosisIndex;
    ProcedureCodeIndex procedureIndex;
    CodeTextTable mdcCodes{0, {{}, 3}};
    CodeTextTable adrgCodes{0, {{}, 4}};
    CodeTextTable refinedCodes{0, {{}, 5}};
    DaggerAsteriskTable daggerAsterisk;
    ConditionTable conditions;
    CodeConditionTable codeConditions;
    std::array<DecisionTable, kDecisionVersions> decisionTables;
    RefinementTable refinement;
    std::array<ComplicationLevelTable, kLevelVersions> levelTables;
    PcclSplitTable splits;
    std::array<CcExclusionTable, kExclusionVersions> exclusionTables;

    // The 100 header bytes of every file as read (or as to be written past the
    // count fields); kept so that a table set can be reproduced byte for byte.
    std::array<std::array<char, kHeaderSize>, kTableFileCount> headers{};
};

}  // namespace drg
