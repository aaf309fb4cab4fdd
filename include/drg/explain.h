#pragma once
// How a record's result came about, step by step, as the grouping steps
// reported it while they grouped the record (Worker::explainLine).

#include <cstdint>
#include <string>
#include <vector>

#include "drg/grouper.h"

namespace drg {

// A non-blank code slot.
struct CodeSlotTrace {
    int slot = 0;          // 1..10 diagnoses, 11..46 procedures
    std::string text;      // as read, upper-cased, trailing blanks removed
    int codeId = 0;        // 0: the code is not in the release
    int repeatOf = 0;      // an earlier slot with the same diagnosis: this one counts as empty
};

// A slot whose code raised a condition.
struct ConditionSource {
    int slot = 0;
    std::string code;
};

struct RaisedCondition {
    int condition = 0;
    bool derived = false;
    std::vector<ConditionSource> sources;  // codes that raised it (none for a derived one)
    std::string rule;                      // what raises a derived condition
};

struct DecisionPassTrace {
    bool ran = false;
    int range = 0;                    // MDC index whose rows were searched
    int firstRow = 0, endRow = 0;     // rows [firstRow, endRow) of the decision table
    int row = -1;                     // the first row that matched, -1 when none did
    std::vector<int> mustHold;        // the matching row's conditions, empty places left out
    std::vector<int> mustNotHold;
    int32_t validFrom = 0, validTo = 0;
    std::string mdc;                  // what the row gives (the MDC pass only)
    std::string adrg;
};

struct LevelTrace {
    int slot = 0;            // 2..10
    std::string code;
    int level = 0;           // as the level table gives it
    int row = -1;            // the level row that gave it, -1 when none applied
    int finalLevel = 0;      // after every exclusion rule
    std::string clearedBy;   // "" or what cancelled the level
};

struct Explanation {
    GroupStatus status = GroupStatus::Ok;

    // The fields as read.
    int32_t effectiveDate = 0;
    int ageYears = 0;
    int32_t ageDays = 0;
    int sexDigit = 0;
    int stayDays = 0;
    int statusCode = 0;
    int birthWeight = 0;
    int ventilationHours = 0;

    std::vector<CodeSlotTrace> slots;
    bool daggerAsteriskExchanged = false;  // the principal traded places with its asterisk partner

    // The table files in force on the record's date.
    std::string decisionTable, levelTable, exclusionTable;

    std::vector<RaisedCondition> conditions;  // ascending, derived ones included, 0 left out

    DecisionPassTrace mdcPass, adrgPass;

    bool refined = false;       // the refinement ran (there is an ADRG)
    int refinementRow = -1;     // the refinement row that gave the suffix, -1 when none fitted
    char refinementSuffix = '0';
    std::string refinedCode;    // the ADRG text and the suffix
    int refinedEntry = 0;       // its entry among the refined codes, 0 when not listed

    std::vector<LevelTrace> levels;  // the secondary diagnoses, when there is an ADRG
    double weightedLevelSum = 0.0;
    int splitRow = -1;               // the split row that gave the last character, -1 when none
    int splitProfile = -1;           // the profile that row chose
    std::string splitCharacters;     // its five characters, for PCCL 0..4 (a NUL counts as "0")

    GroupResult result;
    std::string output;  // the output line, without its line end
};

}  // namespace drg
