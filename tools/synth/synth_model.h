#pragma once
// The made-up classification before it is laid out as table files: its codes
// with the conditions they raise, its MDCs and ADRGs. The table builders turn
// it into a table set and the record generator draws its records from it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace drg::synth {

inline constexpr int32_t kAlways = 19950101;  // first day of every open-ended range
inline constexpr int32_t kForever = 99991231;

// MDC entries: 0 a placeholder, 1 the pre-MDC range, 2..26 the body systems.
inline constexpr int kMdcEntries = 27;
inline constexpr int kPreMdc = 1;
inline constexpr int kFirstBodyMdc = 2;
inline constexpr int kKidneyMdc = 12, kMaleMdc = 13, kFemaleMdc = 14, kPregnancyMdc = 15, kNewbornMdc = 16;
inline constexpr int kBloodMdc = 17, kHaematologyMdc = 18, kInjuryMdc = 22, kPolytraumaMdc = 26;
inline constexpr int kMusculoskeletalMdc = 9;

struct DatedCondition {
    int16_t condition;
    int32_t from;
    int32_t to;
};

// A 3-character diagnosis category ("K35") and the codes under it.
struct Category {
    char letter;
    int number;
    int mdc;
    int principalGroup;  // the group its codes raise as principal diagnosis
    uint32_t firstCode;  // position in CodeCatalog::diagnoses
    uint32_t codeCount;
};

struct DiagnosisCode {
    std::array<char, 6> text;
    int16_t id;
    uint32_t category;
    int32_t validFrom, validTo;  // when the code is in use
    std::vector<DatedCondition> conditions;
};

struct ProcedureCode {
    std::array<char, 5> text;
    int16_t id;
    int mdc;  // the MDC whose surgery it is, 0 for none
    std::vector<DatedCondition> conditions;
};

struct DaggerPair {
    uint32_t principal;  // position of the code in slot 1
    uint32_t partner;    // position of the code that, in slot 2, takes slot 1
    int32_t from, to;
};

struct CodeCatalog {
    std::vector<Category> categories;
    std::vector<DiagnosisCode> diagnoses;  // in text order, index position - 1
    std::vector<ProcedureCode> procedures;
    std::vector<DaggerPair> daggerPairs;  // grouped by principal
    // Per MDC: principal diagnosis groups, surgical procedure groups, and the
    // chapter-5 procedures of that MDC.
    std::array<std::vector<int>, kMdcEntries> principalGroups;
    std::array<std::vector<int>, kMdcEntries> surgicalGroups;
    std::array<std::vector<uint32_t>, kMdcEntries> surgery;
};

enum class AdrgRole { kPre, kSurgical, kUnrelatedOr, kMedical, kOther };

struct Adrg {
    std::string text;  // 4 characters
    int mdc;
    AdrgRole role;
    std::string suffixes;  // refinement characters, one refined code each
    int firstRefined;      // entry number of the first refined code
};

struct GroupPlan {
    std::vector<std::string> mdcTexts;  // 3 characters each, entry 0 a placeholder
    std::vector<Adrg> adrgs;            // entry 0 a placeholder
    // Per MDC, the ADRG entry numbers by role.
    std::array<std::vector<int>, kMdcEntries> surgical, medical;
    std::array<int, kMdcEntries> unrelatedOr{}, other{};
    std::vector<int> pre;  // pre-MDC ADRGs, in the order the pre-MDC rows use them
    int refinedCount = 0;  // refined codes, placeholder included
};

}  // namespace drg::synth
