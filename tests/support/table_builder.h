#pragma once
// Builds small, consistent releases in memory for tests: codes by text,
// conditions by number, rows in the order they are added. build() assigns
// positions, sorts the code indices and lays out every range, profile and
// count so that the result loads without complaint.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tables/table_set.h"

namespace drg::testing {

inline constexpr int32_t kBeginningOfTime = 0;
inline constexpr int32_t kEndOfTime = 99991231;

struct Dated {
    int32_t from = kBeginningOfTime;
    int32_t to = kEndOfTime;
};

inline const std::vector<int> kAllDecisionVersions = {0, 1, 2, 3, 4, 5};
inline const std::vector<int> kAllLevelVersions = {0, 1, 2};

struct DecisionRowSpec {
    int range = 1;                 // MDC index whose range holds the row
    std::vector<int> mustSet;      // at most 10
    std::vector<int> mustClear;    // at most 10
    int mdc = 0;                   // rowMdc (read in range 1 only)
    int adrg = 0;                  // rowAdrg
    Dated dated;
    std::vector<int> versions = kAllDecisionVersions;
};

class TableBuilder {
public:
    // 854 conditions, 782..823 and 853 derived, every condition raisable from slots 1..46.
    TableBuilder();

    // Code ids are handed out in order of first mention (1, 2, ...); index
    // positions follow the sorted code texts, so ids are not positions.
    int16_t diagnosis(const std::string& code);
    int16_t procedure(const std::string& code);
    // Entry numbers (1, 2, ...) of the group texts.
    int mdc(const std::string& text);
    int adrg(const std::string& text);
    int drg(const std::string& text);

    void conditionCount(int n);
    void conditionKind(int condition, char kind);
    void conditionSlots(int condition, int firstSlot, int lastSlot);

    void diagnosisCondition(const std::string& code, int condition, Dated dated = {});
    void procedureCondition(const std::string& code, int condition, Dated dated = {});
    void daggerPair(const std::string& principal, const std::string& partner, Dated dated = {});

    void decisionRow(const DecisionRowSpec& row);
    void refinementRow(const std::string& adrgText, int minAge, int maxAge, char suffix, Dated dated = {});
    // One level row of a diagnosis with its own profile: `levels` maps ADRG
    // texts to level characters; every other ADRG gets `otherLevel`.
    void levelRow(const std::string& code, const std::map<std::string, char>& levels, char otherLevel = '0',
                  Dated dated = {}, const std::vector<int>& versions = kAllLevelVersions);
    // The exclusion list of a diagnosis (ids sorted ascending by build()).
    void exclusions(const std::string& code, const std::vector<std::string>& excluded,
                    const std::vector<int>& versions = kAllLevelVersions);
    // A split row of a refined code: five characters for PCCL 0..4 (NUL allowed).
    void splitRow(const std::string& drgText, const std::string& profile, Dated dated = {});

    TableSet build() const;
    // Writes the 22 files into an existing directory.
    void write(const std::string& directory) const;

private:
    struct Entry {
        int condition;
        Dated dated;
    };
    struct Pair {
        int16_t partner;
        Dated dated;
    };
    struct LevelRow {
        std::map<int, char> levels;
        char otherLevel;
        Dated dated;
    };
    struct Split {
        std::string profile;
        Dated dated;
    };

    std::map<std::string, int16_t> diagnoses_, procedures_;
    std::vector<std::string> mdcs_, adrgs_, drgs_;
    int conditionCount_ = 854;
    std::map<int, char> kinds_;
    std::map<int, std::pair<int, int>> slots_;
    std::map<int16_t, std::vector<Entry>> diagnosisEntries_, procedureEntries_;
    std::map<int16_t, std::vector<Pair>> pairs_;
    std::vector<DecisionRowSpec> decisionRows_;
    std::map<int, std::vector<std::pair<std::pair<int, int>, std::pair<char, Dated>>>> refinements_;
    std::map<int16_t, std::vector<LevelRow>> levelRows_[3];
    std::map<int16_t, std::vector<int16_t>> exclusions_[3];
    std::map<int, std::vector<Split>> splits_;

    int textEntry(std::vector<std::string>& list, const std::string& text, size_t width);
};

// Pads or cuts a code text to `width` characters with blanks.
std::string padded(const std::string& text, size_t width);

}  // namespace drg::testing
